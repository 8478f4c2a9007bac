// Starts a PulseAudio server with one null sink (a device that plays into nothing) for the browsers
// under test, in a folder of its own, and stops it after the run. Without pulseaudio the browsers
// run without a device, and the tests that play say so.
import { spawn, spawnSync } from 'node:child_process';
import { existsSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export default async function startSoundDevice() {
  if (spawnSync('pulseaudio', ['--version']).status !== 0) return undefined;
  const folder = mkdtempSync(join(tmpdir(), 'ostrelle-pulse-'));
  const socket = join(folder, 'native');
  const env = { ...process.env, HOME: folder, XDG_RUNTIME_DIR: folder, XDG_CONFIG_HOME: folder };
  const server = spawn(
    'pulseaudio',
    [
      '-n',
      '--daemonize=no',
      '--exit-idle-time=-1',
      '--disable-shm=yes',
      '--load=module-null-sink sink_name=silent',
      `--load=module-native-protocol-unix auth-anonymous=1 socket=${socket}`,
    ],
    { env, stdio: 'ignore' },
  );
  for (let waited = 0; !existsSync(socket) && waited < 5000; waited += 50)
    await new Promise((resume) => setTimeout(resume, 50));
  process.env.PULSE_SERVER = `unix:${socket}`;
  return () => {
    server.kill();
    rmSync(folder, { recursive: true, force: true });
  };
}
