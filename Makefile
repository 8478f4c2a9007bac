# Front door over the CMake presets: native (Linux), dll (Ostrelle.dll, the real plug-in), win32
# (the game's stand-in and the tests that run that DLL under Wine), native-asan and fuzz.
# make demo  - the main job: builds and runs what a newcomer should see first
# make test  - every test suite of both builds; the native ones again under the sanitizers; the
#              tuner page in headless Chromium and Firefox ESR
# make dll   - Ostrelle.dll alone
# make bench - the speed and allocation benchmarks
# make dist  - the players' package: dist/Ostrelle/ and dist/Ostrelle-<version>.zip, with the
#              tuner page when it has been built (make tuner)
# make tuner - build/web/tuner/Ostrelle-tuner.html: tune, see and hear the plug-in in a browser
# make fuzz  - each fuzz target for FUZZ_SECONDS (default 600), two at a time; corpora and findings
#              in build/fuzz/tests/fuzz/<target>/

.PHONY: demo test dll dist bench deps native dll-build win32 native-asan fuzz-build fuzz tuner \
        browser-test clean

deps:
	tools/install-deps

native: deps
	cmake --preset native
	cmake --build --preset native

dll-build: deps
	cmake --preset dll
	cmake --build --preset dll

win32: dll-build
	cmake --preset win32
	cmake --build --preset win32

native-asan: deps
	cmake --preset native-asan
	cmake --build --preset native-asan

fuzz-build: deps
	cmake --preset fuzz
	cmake --build --preset fuzz

FUZZ_SECONDS ?= 600
fuzz: fuzz-build
	FUZZ_SECONDS=$(FUZZ_SECONDS) ctest --preset fuzz -V --timeout $$(($(FUZZ_SECONDS) + 300))

# The web preset: Emscripten, with the page bundled by esbuild from tuner/node_modules.
TUNER := build/web/tuner/Ostrelle-tuner.html
tuner: deps
	cmake --preset web
	cmake --build --preset web
	@echo "Built: $(TUNER)"

# The page's tests in headless Chromium and Firefox ESR; they compare the page with ostrelle-sim.
browser-test: native tuner
	cd tests/browser && npx playwright test --config playwright.config.mjs

dll: dll-build
	@echo "Built: build/dll/src/Ostrelle.dll"

dist: dll-build
	cmake --preset dll -DOSTRELLE_TUNER=$(if $(wildcard $(TUNER)),$(CURDIR)/$(TUNER))
	cmake --build --preset dll --target dist

test: native win32 native-asan fuzz-build tuner
	ctest --preset native
	ctest --preset dll
	ctest --preset win32
	ctest --preset native-asan
	ctest --preset fuzz
	cd tests/browser && npx playwright test --config playwright.config.mjs

demo: native win32
	tools/demo

bench: native win32 tuner
	build/native/tests/bench/ostrelle_bench
	tests/bench/count-instructions build/native/tests/bench/frame_instructions
	build/native/tests/bench/render_bench
	cd build/win32/host && WINEPREFIX=$(CURDIR)/build/win32/wine ../../../tests/e2e/run-under-wine \
	  ostrelle-host.exe --plugin plugin/Ostrelle.dll --bench 1000000
	cd tests/browser && node bench.mjs

clean:
	rm -rf build
