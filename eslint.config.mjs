// The tuner page's modules, its build script and its browser tests: ESLint's recommended rules,
// with the globals each runs among (the browser's for the page, Node's and the browser's for the
// scripts, which also run code inside the page).
import js from '@eslint/js';
import globals from 'globals';

export default [
  js.configs.recommended,
  { files: ['tuner/page/**/*.js'], languageOptions: { globals: globals.browser } },
  {
    files: ['tuner/**/*.mjs', 'tests/browser/**/*.mjs'],
    languageOptions: { globals: { ...globals.node, ...globals.browser } },
  },
  // Playwright reads which fixtures a fixture or a test uses from its destructured first
  // parameter, so one that uses none must still write `{}`.
  { files: ['tests/browser/**/*.mjs'], rules: { 'no-empty-pattern': 'off' } },
];
