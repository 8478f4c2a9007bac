// What a player hears, mixed as ostrelle-sim --wav mixes it: the radio bed, looped from the start,
// at the game's radio volume (gain volume / 127, moved linearly across each frame from the last
// frame's gain), plus every sound the plug-in started, at the volume it set. The plug-in's calls in
// a frame take effect at that frame's start. Decoding is the browser's (Web Audio).
import { column } from './plot.js';

export const sampleRate = 44100;
const fullRadio = 127;

// Decodes MP3 bytes into stereo Float32Arrays at sampleRate, or null when they do not decode.
export async function decodeSound(bytes) {
  const context = new OfflineAudioContext(2, 1, sampleRate);
  try {
    const buffer = await context.decodeAudioData(bytes.slice().buffer);
    const right = buffer.numberOfChannels > 1 ? 1 : 0;
    return [buffer.getChannelData(0), buffer.getChannelData(right)];
  } catch {
    return null;
  }
}

// One open stream of the device, as the Linux mixer keeps it.
class Channel {
  constructor(sound, loop) {
    this.sound = sound; // [left, right], or null: nothing decodes
    this.loop = loop;
    this.volume = 1;
    this.playing = false;
    this.position = 0;
  }

  // Adds count samples from start into left/right times the volume.
  mixInto(left, right, start, count) {
    if (!this.playing || !this.sound) return;
    const [soundLeft, soundRight] = this.sound;
    const length = soundLeft.length;
    for (let i = 0; i < count; ++i) {
      if (this.position >= length) {
        if (!this.loop || length === 0) return;
        this.position = 0;
      }
      left[start + i] += soundLeft[this.position] * this.volume;
      right[start + i] += soundRight[this.position] * this.volume;
      ++this.position;
    }
  }
}

// The mix of a run ({frames, soundCalls} from the core) as [left, right] Float32Arrays. sounds maps
// a file name to its decoded samples; bed is the decoded radio bed.
export function mixRun(run, sounds, bed) {
  const frameEnd = (i) =>
    Math.round(
      (run.frames[i * run.frameColumns + column.time] +
        run.frames[i * run.frameColumns + column.duration]) *
        sampleRate,
    );
  const total = run.frameCount > 0 ? frameEnd(run.frameCount - 1) : 0;
  const left = new Float32Array(total);
  const right = new Float32Array(total);
  const channels = new Map();
  const calls = run.soundCalls;
  let next = 0;
  let written = 0;
  let gain = 1;
  const apply = (call) => {
    if (call.call === 'open')
      channels.set(call.stream, new Channel(sounds[call.sound] ?? null, call.loop));
    const channel = channels.get(call.stream);
    if (!channel) return;
    if (call.call === 'play') {
      if (call.restart) channel.position = 0;
      channel.playing = true;
    } else if (call.call === 'stop') channel.playing = false;
    else if (call.call === 'volume') channel.volume = call.volume;
    else if (call.call === 'close') channels.delete(call.stream);
  };
  for (let frame = 0; frame < run.frameCount; ++frame) {
    while (next < calls.length && calls[next].frame <= frame) apply(calls[next++]);
    const end = frameEnd(frame);
    if (end <= written) continue;
    const count = end - written;
    for (const channel of channels.values()) channel.mixInto(left, right, written, count);
    const target = run.frames[frame * run.frameColumns + column.radioVolume] / fullRadio;
    const [bedLeft, bedRight] = bed;
    for (let i = 0; i < count; ++i) {
      const g = gain + ((target - gain) * i) / count;
      const at = (written + i) % bedLeft.length;
      left[written + i] += g * bedLeft[at];
      right[written + i] += g * bedRight[at];
    }
    gain = target;
    written = end;
  }
  return [left, right];
}

// The mix as a 16-bit PCM WAV file, clipped as ostrelle-sim's is.
export function wavBytes([left, right]) {
  const frames = left.length;
  const bytes = new ArrayBuffer(44 + frames * 4);
  const view = new DataView(bytes);
  const text = (at, s) => [...s].forEach((c, i) => view.setUint8(at + i, c.charCodeAt(0)));
  text(0, 'RIFF');
  view.setUint32(4, 36 + frames * 4, true);
  text(8, 'WAVEfmt ');
  view.setUint32(16, 16, true);
  view.setUint16(20, 1, true); // PCM
  view.setUint16(22, 2, true);
  view.setUint32(24, sampleRate, true);
  view.setUint32(28, sampleRate * 4, true);
  view.setUint16(32, 4, true);
  view.setUint16(34, 16, true);
  text(36, 'data');
  view.setUint32(40, frames * 4, true);
  const pcm = (x) => Math.max(-32768, Math.min(32767, Math.round(x * 32767)));
  for (let i = 0; i < frames; ++i) {
    view.setInt16(44 + i * 4, pcm(left[i]), true);
    view.setInt16(46 + i * 4, pcm(right[i]), true);
  }
  return new Uint8Array(bytes);
}

// Plays a mix through the speakers from a point, and tells where it is.
export class Player {
  constructor() {
    this.context = null;
    this.source = null;
    this.startedAt = 0;
    this.from = 0;
  }

  get playing() {
    return this.source !== null;
  }

  // Seconds into the mix now, or null when stopped.
  get position() {
    return this.playing ? this.from + (this.context.currentTime - this.startedAt) : null;
  }

  play([left, right], fromSeconds, onEnd) {
    this.stop();
    this.context ??= new AudioContext({ sampleRate });
    const buffer = this.context.createBuffer(2, Math.max(left.length, 1), sampleRate);
    buffer.copyToChannel(left, 0);
    buffer.copyToChannel(right, 1);
    const source = this.context.createBufferSource();
    source.buffer = buffer;
    source.connect(this.context.destination);
    source.onended = () => {
      if (this.source === source) {
        this.source = null;
        onEnd();
      }
    };
    this.from = Math.min(Math.max(fromSeconds, 0), buffer.duration);
    this.startedAt = this.context.currentTime;
    source.start(0, this.from);
    this.source = source;
  }

  stop() {
    const source = this.source;
    this.source = null;
    source?.stop();
  }
}
