// The sound panel: what a player hears over the drive, played from a point or exported as WAV,
// with our sounds or the modder's own. The mix is made piece by piece as it is heard or written.
import { decodeBase64 } from './core.js';
import { download, FileProblem, readGivenFile, showMessage } from './files.js';
import { decodeSound, Mixer, Player, sampleRate, wavBlob } from './mix.js';
import { $ } from './dom.js';

const largestSound = 20 * 1048576;

const clock = (seconds) =>
  `${Math.floor(seconds / 60)}:${String(Math.floor(seconds % 60)).padStart(2, '0')}`;

export class SoundPanel {
  // assets: the page's bundled sounds and radio bed; onSounds() after the sounds changed;
  // onPlayhead(seconds or null) while playing; playFrom() the seconds Play starts from.
  constructor(root, { core, assets, onSounds, onPlayhead, playFrom }) {
    this.root = root;
    this.core = core;
    this.soundNames = core.sounds.map((sound) => sound.file); // the plug-in's, in its order
    this.assets = assets;
    this.onSounds = onSounds;
    this.onPlayhead = onPlayhead;
    this.player = new Player();
    this.ours = null; // decoded once, on the first Play or export
    this.own = {};
    this.run = null;
    this.starting = false; // Play pressed, the sound device not yet answering
    this.name = 'drive';
    $(this.root, 'play').addEventListener('click', () =>
      this.player.playing ? this.stop() : this.play(playFrom()),
    );
    $(this.root, 'export-wav').addEventListener('click', () => this.exportWav());
    $(this.root, 'sound-file').addEventListener('change', (event) => {
      this.useSounds([...event.target.files]);
      event.target.value = '';
    });
    $(this.root, 'sound-reset').addEventListener('click', () => {
      for (const name of this.soundNames) core.putSound(name, decodeBase64(assets.sounds[name]));
      this.own = {};
      this.say('Our sounds.', 'ok');
      onSounds();
    });
  }

  say(text, kind) {
    showMessage($(this.root, 'sound-message'), text, kind);
  }

  // The run to hear (a new one is heard shortly after while playing), and the drive's name.
  show(run, name) {
    this.run = run;
    this.name = name.replace(/\.[^.]*$/, '');
    if (this.player.playing) {
      clearTimeout(this.playOnTimer);
      this.playOnTimer = setTimeout(
        () => this.player.playing && this.play(this.player.position),
        200,
      );
    }
  }

  // A mix of the run for one use: playing and exporting each go through the drive at their own pace.
  async newMixer() {
    if (!this.ours) {
      const decode = (base64) => decodeSound(decodeBase64(base64));
      const ours = { bed: await decode(this.assets.radioBed) };
      for (const name of this.soundNames) ours[name] = await decode(this.assets.sounds[name]);
      this.ours = ours;
    }
    return new Mixer(this.run, { ...this.ours, ...this.own }, this.ours.bed);
  }

  async play(fromSeconds) {
    if (!this.run || this.starting) return;
    this.starting = true;
    $(this.root, 'play').textContent = 'Starting…';
    let mixer;
    try {
      mixer = await this.newMixer();
      await this.player.play(mixer, fromSeconds, () => this.stopped());
    } catch (error) {
      this.stopped();
      this.say(error.message);
      return;
    } finally {
      this.starting = false;
    }
    this.say('', 'ok');
    $(this.root, 'play').textContent = 'Stop';
    const tick = () => {
      if (!this.player.playing) return;
      const at = this.player.position;
      $(this.root, 'play-position').textContent =
        `${clock(at)} / ${clock(mixer.length / sampleRate)}`;
      this.onPlayhead(at);
      requestAnimationFrame(tick);
    };
    requestAnimationFrame(tick);
  }

  stop() {
    this.player.stop();
    this.stopped();
  }

  stopped() {
    $(this.root, 'play').textContent = 'Play';
    $(this.root, 'play-position').textContent = '';
    this.onPlayhead(null);
  }

  async exportWav() {
    const button = $(this.root, 'export-wav');
    const name = `${this.name}.wav`;
    button.disabled = true;
    try {
      const blob = await wavBlob(await this.newMixer(), (done) =>
        this.say(`Exporting ${name}: ${Math.floor(done * 100)} %`, 'ok'),
      );
      download(blob, name);
      this.say(`${name}: ${(blob.size / 1048576).toFixed(1)} MB, in your downloads`, 'ok');
    } catch (error) {
      this.say(`Export WAV: ${error.message}`);
    } finally {
      button.disabled = false;
    }
  }

  // The modder's own sounds in place of ours, each by its name.
  async useSounds(files) {
    const messages = [];
    for (const file of files) {
      const name = this.soundNames.find((n) => n.toLowerCase() === file.name.toLowerCase());
      try {
        if (!name)
          throw new FileProblem(
            `${file.name}: the plug-in plays only ${this.soundNames.join(', ')}`,
          );
        const bytes = await readGivenFile(file, {
          largest: largestSound,
          binary: true,
          what: 'a sound',
        });
        const refusal = this.core.soundRefusal(bytes);
        if (refusal) throw new FileProblem(`${file.name}: ${refusal}`);
        const decoded = await decodeSound(bytes);
        if (!decoded) throw new FileProblem(`${file.name}: the browser cannot decode it`);
        this.core.putSound(name, bytes);
        this.own[name] = decoded;
        messages.push(`${file.name}: yours is used`);
      } catch (error) {
        messages.push(error.message);
      }
    }
    this.say(messages.join('; '), messages.every((m) => m.endsWith('used')) ? 'ok' : 'error');
    this.onSounds();
  }
}
