// What a player hears, mixed as ostrelle-sim --wav mixes it: the radio bed, looped from the start,
// at the game's radio volume (gain volume / 127, moved linearly across each frame from the last
// frame's gain), plus every sound the plug-in started, at the volume it set. The plug-in's calls in
// a frame take effect at that frame's start. Decoding is the browser's (Web Audio).
export const sampleRate = 44100;
// Ten seconds of sound: what is mixed, played or written at a time.
const pieceSamples = 10 * sampleRate;
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

  // Adds count samples into left/right from start times the volume; without left, only moves on.
  mixInto(left, right, start, count) {
    if (!this.playing || !this.sound) return;
    const [soundLeft, soundRight] = this.sound;
    const length = soundLeft.length;
    if (!left) {
      this.position =
        this.loop && length > 0
          ? (this.position + count) % length
          : Math.min(this.position + count, length);
      return;
    }
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

// The mix of a run ({frames, soundCalls} from the core), made piece by piece so that a drive of
// hours is never held whole: sounds maps a file name to its decoded samples; bed is the decoded
// radio bed. Pieces asked for in order go on from the last; an earlier one starts again from the
// drive's start, moving through the frames without mixing them.
export class Mixer {
  constructor(run, sounds, bed) {
    this.run = run;
    this.sounds = sounds;
    this.bed = bed;
    this.length = run.frameCount > 0 ? this.frameEnd(run.frameCount - 1) : 0; // in samples
    this.rewind();
  }

  frameEnd(frame) {
    const { time, duration } = this.run.frames;
    return Math.round((time[frame] + duration[frame]) * sampleRate);
  }

  rewind() {
    this.channels = new Map();
    this.frame = -1;
    this.nextCall = 0;
    this.at = 0; // the next sample to make
    this.frameStart = 0;
    this.frameStop = 0;
    this.gain = 1;
    this.target = 1;
  }

  // The samples [start, start + count) of the mix as [left, right], cut at its end.
  piece(start, count) {
    if (start < this.at) this.rewind();
    this.advance(start - this.at, null, null);
    const size = Math.max(Math.min(count, this.length - start), 0);
    const left = new Float32Array(size);
    const right = new Float32Array(size);
    this.advance(size, left, right);
    return [left, right];
  }

  // Makes count samples into left/right (or only moves on by them when left is null).
  advance(count, left, right) {
    let done = 0;
    while (done < count) {
      if (this.at >= this.frameStop && !this.nextFrame()) return;
      const n = Math.min(count - done, this.frameStop - this.at);
      for (const channel of this.channels.values()) channel.mixInto(left, right, done, n);
      if (left) this.mixBed(left, right, done, n);
      this.at += n;
      done += n;
    }
  }

  // The radio bed at the game's radio volume, its gain moved linearly across the frame.
  mixBed(left, right, start, count) {
    const [bedLeft, bedRight] = this.bed;
    const { gain, target } = this;
    const frameLength = this.frameStop - this.frameStart;
    for (let i = 0; i < count; ++i) {
      const sample = this.at + i;
      const g = gain + ((target - gain) * (sample - this.frameStart)) / frameLength;
      left[start + i] += g * bedLeft[sample % bedLeft.length];
      right[start + i] += g * bedRight[sample % bedRight.length];
    }
  }

  // Takes the next frame that lasts at least one sample, with the calls made up to it; false at the end.
  nextFrame() {
    const { run } = this;
    while (this.frame + 1 < run.frameCount) {
      const frame = ++this.frame;
      while (this.nextCall < run.soundCalls.length && run.soundCalls[this.nextCall].frame <= frame)
        this.apply(run.soundCalls[this.nextCall++]);
      const stop = this.frameEnd(frame);
      if (stop <= this.at) continue;
      this.frameStart = this.at;
      this.frameStop = stop;
      this.gain = this.target;
      this.target = run.frames.radioVolume[frame] / fullRadio;
      return true;
    }
    return false;
  }

  apply(call) {
    if (call.call === 'open')
      this.channels.set(call.stream, new Channel(this.sounds[call.sound] ?? null, call.loop));
    const channel = this.channels.get(call.stream);
    if (!channel) return;
    if (call.call === 'play') {
      if (call.restart) channel.position = 0;
      channel.playing = true;
    } else if (call.call === 'stop') channel.playing = false;
    else if (call.call === 'volume') channel.volume = call.volume;
    else if (call.call === 'close') this.channels.delete(call.stream);
  }
}

// A WAV file's sizes are 32-bit: it holds at most this many stereo 16-bit samples (6.7 hours).
const wavLargest = Math.floor((0xffffffff - 36) / 4);

// The mix as a 16-bit PCM WAV file (a Blob), clipped as ostrelle-sim's is, made piece by piece so
// that a long drive is never held whole in memory; progress(share done) is told between pieces.
// A drive longer than a WAV holds is refused before any work (ostrelle-sim writes RF64 for it).
export async function wavBlob(mixer, progress = () => {}) {
  if (mixer.length > wavLargest) {
    throw new RangeError(
      `a WAV file holds at most 6.7 hours; this drive is ${(mixer.length / sampleRate / 3600).toFixed(1)} hours (ostrelle-sim run --wav writes it as RF64)`,
    );
  }
  const header = new DataView(new ArrayBuffer(44));
  const text = (at, s) => [...s].forEach((c, i) => header.setUint8(at + i, c.charCodeAt(0)));
  text(0, 'RIFF');
  header.setUint32(4, 36 + mixer.length * 4, true);
  text(8, 'WAVEfmt ');
  header.setUint32(16, 16, true);
  header.setUint16(20, 1, true); // PCM
  header.setUint16(22, 2, true);
  header.setUint32(24, sampleRate, true);
  header.setUint32(28, sampleRate * 4, true);
  header.setUint16(32, 4, true);
  header.setUint16(34, 16, true);
  text(36, 'data');
  header.setUint32(40, mixer.length * 4, true);
  let blob = new Blob([header.buffer]);
  let parts = [];
  const pcm = (x) => Math.max(-32768, Math.min(32767, Math.round(x * 32767)));
  for (let start = 0; start < mixer.length; start += pieceSamples) {
    const [left, right] = mixer.piece(start, pieceSamples);
    // Typed arrays are in the machine's byte order, little-endian on every machine a browser
    // runs on, as WAV's samples are.
    const samples = new Int16Array(left.length * 2);
    for (let i = 0; i < left.length; ++i) {
      samples[i * 2] = pcm(left[i]);
      samples[i * 2 + 1] = pcm(right[i]);
    }
    parts.push(samples.buffer);
    // The browser keeps a Blob's bytes out of the page's memory (on disk when large).
    if (parts.length === 16) {
      blob = new Blob([blob, ...parts]);
      parts = [];
      progress(start / mixer.length);
      await new Promise((resume) => setTimeout(resume));
    }
  }
  return new Blob([blob, ...parts], { type: 'audio/wav' });
}

// Plays a mix through the speakers from a point, piece by piece, and tells where it is.
export class Player {
  constructor() {
    this.context = null;
    this.timer = 0;
    this.sources = [];
    this.startedAt = 0;
    this.from = 0;
  }

  get playing() {
    return this.timer !== 0;
  }

  // Seconds into the mix now, or null when stopped.
  get position() {
    return this.playing ? this.from + Math.max(this.context.currentTime - this.startedAt, 0) : null;
  }

  // Starts mixer from fromSeconds; resolves once the sound device plays, and rejects when it
  // does not start within a few seconds (no sound device, or one the browser cannot open).
  async play(mixer, fromSeconds, onEnd) {
    this.stop();
    this.context ??= new AudioContext({ sampleRate });
    const started = await Promise.race([
      this.context.resume().then(() => true),
      new Promise((give) => setTimeout(() => give(false), deviceWait)),
    ]);
    if (!started || this.context.state !== 'running') {
      throw new Error(
        'Play could not start: the browser found no sound device it can play on (plug in or switch on a speaker or headphones, then press Play again). Export WAV works without one.',
      );
    }
    this.mixer = mixer;
    this.onEnd = onEnd;
    this.from = Math.min(Math.max(fromSeconds, 0), mixer.length / sampleRate);
    this.next = Math.round(this.from * sampleRate); // the next sample to queue
    this.startedAt = this.context.currentTime + 0.05;
    this.timer = setInterval(() => this.queue(), 250);
    this.queue();
  }

  // Keeps two pieces queued ahead of what is heard; stops after the last.
  queue() {
    const now = this.context.currentTime;
    this.sources = this.sources.filter((source) => source.endsAt > now);
    const heard = this.startedAt + (this.next / sampleRate - this.from);
    if (this.next >= this.mixer.length) {
      if (now >= heard) {
        this.stop();
        this.onEnd();
      }
      return;
    }
    if (heard - now > (2 * pieceSamples) / sampleRate) return;
    const [left, right] = this.mixer.piece(this.next, pieceSamples);
    const buffer = this.context.createBuffer(2, Math.max(left.length, 1), sampleRate);
    buffer.copyToChannel(left, 0);
    buffer.copyToChannel(right, 1);
    const source = this.context.createBufferSource();
    source.buffer = buffer;
    source.connect(this.context.destination);
    source.start(Math.max(heard, now));
    source.endsAt = heard + buffer.duration;
    this.sources.push(source);
    this.next += left.length;
  }

  stop() {
    clearInterval(this.timer);
    this.timer = 0;
    for (const source of this.sources) source.stop();
    this.sources = [];
  }
}

// How long Play waits for the sound device: PulseAudio can take two seconds to open.
const deviceWait = 5000;
