// Starts Xvfb, a display in memory, for WebKit's MiniBrowser (it has no headless mode), and stops
// it after the run. The display's number is the first free one, as Xvfb reports it.
import { spawn } from 'node:child_process';

export default async function startDisplay() {
  const server = spawn(
    'Xvfb',
    ['-displayfd', '3', '-nolisten', 'tcp', '-screen', '0', '1920x1080x24'],
    {
      stdio: ['ignore', 'ignore', 'ignore', 'pipe'],
    },
  );
  const display = await new Promise((resolve, reject) => {
    let text = '';
    server.stdio[3].on('data', (data) => {
      text += data;
      if (text.includes('\n')) resolve(text.trim());
    });
    server.on('error', (error) => reject(new Error(`Xvfb, for WebKit: ${error.message}`)));
    server.on('exit', (code) => reject(new Error(`Xvfb, for WebKit, ended with ${code}`)));
  });
  process.env.DISPLAY = `:${display}`;
  return () => server.kill();
}
