#!/usr/bin/env python3
"""Generates the feedback evaluation corpus into OUT: the model audio of every sentence,
the learners' takes, truth.jsonl (one take per line, with its ground truth) and
batch.tsv (sentence, model, recording) for `orvessa-content feedback --batch`.

OUT is emptied first: the corpus is always rebuilt from scratch.
"""

import argparse
import array
import json
import math
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time
import wave
from concurrent.futures import ProcessPoolExecutor, ThreadPoolExecutor
from pathlib import Path

sys.dont_write_bytecode = True

import corpus  # noqa: E402
import sink  # noqa: E402

# The model is made the way the demo book makes its sentences: trimmed at -50 dB,
# peak -3 dB, 22.05 kHz mono, MP3 at 48 kbit/s with no Xing frame, and the small
# margins of silence the book's Start and End leave around the sound.
MODEL_RATE = 22050
MODEL_PEAK_DB = -3
MODEL_LEAD = 0.05
MODEL_TAIL = 0.06
TRIM = ["silence", "1", "0.005", "-50d", "reverse", "silence", "1", "0.005", "-50d", "reverse"]
NOISE_SECONDS = 30  # length of each stored noise, from which takes cut their slices

FESTIVAL_VOICES = {"slt_hts": "voice_cmu_us_slt_arctic_hts", "kal_diphone": "voice_kal_diphone"}


class GenerationError(Exception):
    pass


def run(args, **kwargs):
    try:
        return subprocess.run([str(a) for a in args], check=True, capture_output=True, **kwargs)
    except FileNotFoundError as e:
        raise GenerationError(f"{args[0]} is not installed") from e
    except subprocess.CalledProcessError as e:
        detail = e.stderr.decode("utf-8", "replace").strip()[-500:]
        raise GenerationError(f"{' '.join(map(str, args))[:300]} failed: {detail}") from e


def read_pcm(path):
    with wave.open(str(path), "rb") as w:
        if w.getsampwidth() != 2 or w.getnchannels() != 1:
            raise GenerationError(f"{path} is not 16-bit mono")
        samples = array.array("h")
        samples.frombytes(w.readframes(w.getnframes()))
        return samples, w.getframerate()


def write_pcm(path, samples, rate):
    with wave.open(str(path), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(samples.tobytes())


def rms(samples):
    if not samples:
        return 0.0
    return math.sqrt(sum(s * s for s in samples) / len(samples))


# ---------------------------------------------------------------------------
# Speech synthesis. A job is (key, voice, text, pace, pitch); pace and pitch are None
# for the voice's own defaults. The raw output goes to RAW/key.wav.


def synth_job_key(voice, text, pace, pitch):
    return "%x" % (corpus.stable_hash(f"{voice}\x1f{text}\x1f{pace}\x1f{pitch}") % (1 << 64))


def synth_simple(job, raw_dir):
    key, voice, text, pace, pitch = job
    engine, name = voice.split(":", 1)
    out = raw_dir / f"{key}.wav"
    if engine == "espeak":
        args = ["espeak-ng", "-v", name, "-w", out]
        if pace is not None:
            args += ["-s", pace, "-p", pitch]
        run(args + [text])
    elif engine == "flite":
        args = ["flite", "-voice", name, "-o", out]
        if pace is not None:
            args += ["--setf", f"duration_stretch={pace}"]
        run(args + ["-t", text])
    else:
        raise GenerationError(f"unknown engine {engine}")


def scheme_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def synth_festival(jobs, raw_dir, work):
    """Many utterances in one festival process: loading a voice takes seconds."""
    lines = []
    current = None
    for key, voice, text, pace, pitch in jobs:
        name = voice.split(":", 1)[1]
        if name not in FESTIVAL_VOICES:
            raise GenerationError(f"festival voice {name} is not known here")
        if name != current:
            lines.append(f"({FESTIVAL_VOICES[name]})")
            if name == "slt_hts":
                lines.append("(set! orvessa-hts-base hts_engine_params)")
            current = name
        stretch = 1.0 if pace is None else float(pace)
        if name == "slt_hts":
            # the HTS engine's speed is the inverse of a duration stretch
            lines.append("(set! hts_engine_params (append orvessa-hts-base "
                         f"(list (list \"-r\" {1 / stretch:.4f}))))")
        else:
            lines.append(f"(Parameter.set 'Duration_Stretch {stretch:.4f})")
        out = raw_dir / f"{key}.wav"
        lines.append(f"(utt.save.wave (utt.synth (Utterance Text {scheme_string(text)})) "
                     f"{scheme_string(str(out))} 'riff)")
    script = work / f"festival-{jobs[0][0]}.scm"
    script.write_text("\n".join(lines) + "\n", encoding="utf-8")
    run(["festival", "-b", script])
    for key, *_ in jobs:
        if not (raw_dir / f"{key}.wav").is_file():
            raise GenerationError(f"festival made no audio for job {key}")


def synthesise_all(jobs, raw_dir, work, workers):
    simple = [j for j in jobs if not j[1].startswith("festival:")]
    festival = sorted((j for j in jobs if j[1].startswith("festival:")), key=lambda j: j[1])
    # a few festival batches side by side; each loads its voices once
    chunks = [festival[i::max(1, workers)] for i in range(max(1, workers))]
    chunks = [sorted(c, key=lambda j: j[1]) for c in chunks if c]
    with ThreadPoolExecutor(max_workers=workers) as pool:
        futures = [pool.submit(synth_festival, c, raw_dir, work) for c in chunks]
        futures += [pool.submit(synth_simple, j, raw_dir) for j in simple]
        for f in futures:
            f.result()


# ---------------------------------------------------------------------------
# Models


def make_model(raw, mp3, work):
    clean = work / (mp3.stem + ".model.wav")
    run(["sox", "-R", "-D", raw, "-r", MODEL_RATE, "-c", "1", "-b", "16", clean, *TRIM,
         "norm", MODEL_PEAK_DB, "pad", MODEL_LEAD, MODEL_TAIL])
    run(["ffmpeg", "-v", "error", "-nostdin", "-y", "-i", clean, "-codec:a", "libmp3lame",
         "-b:a", "48k", "-ac", "1", "-ar", MODEL_RATE, "-write_xing", "0", mp3])
    clean.unlink()


# ---------------------------------------------------------------------------
# Takes


def make_noises(noise_dir):
    """White and pink noise at each rate, NOISE_SECONDS long, and their RMS."""
    levels = {}
    for rate in (16000, 44100, 48000):
        for color in ("white", "pink"):
            path = noise_dir / f"{color}-{rate}.wav"
            run(["sox", "-R", "-D", "-n", "-r", rate, "-c", "1", "-b", "16", path,
                 "synth", NOISE_SECONDS, f"{color}noise", "vol", "0.5"])
            samples, _ = read_pcm(path)
            levels[f"{color}-{rate}"] = rms(samples)
    return levels


def clean_speech_command(raw, take, rate, clean, pads):
    """sox arguments that write the take's speech, trimmed, at its rate and peak, with
    pads=(before, after) samples of zero around it; stats reports its level."""
    effects = []
    if not take["voice"].startswith("espeak:") and take["pitch"]:
        effects += ["pitch", take["pitch"]]
    # the rate comes before the pads so that their sample counts are at the take's rate
    return ["sox", "-R", "-D", raw, "-c", "1", "-b", "16", clean, *effects, "rate", rate, *TRIM,
            "norm", take["conditions"]["peakDb"], "stats", "pad", f"{pads[0]}s", f"{pads[1]}s"]


def rms_of_stats(stderr):
    m = re.search(r"^RMS lev dB\s+(-?[\d.]+|-inf)", stderr, re.M)
    if not m or m.group(1) == "-inf":
        return None
    return db_to_amplitude(float(m.group(1)))


def db_to_amplitude(db):
    return 32768 * 10 ** (db / 20)


def render(take, raw, out_dir, noise_dir, levels, work):
    """Writes the take's recording; returns (path, seconds)."""
    c = take["conditions"]
    rate = c["rate"]

    def split(pad):
        total = round(pad["seconds"] * rate)
        zero = round(total * pad["zeroShare"])
        return zero, total - zero

    lead_zero, lead_floor = split(c["lead"])
    tail_zero, tail_floor = split(c["tail"])
    clean = work / f"{take['id']}.clean.wav"
    stats = run(clean_speech_command(raw, take, rate, clean, (lead_floor, tail_floor)))
    speech_rms = rms_of_stats(stats.stderr.decode("utf-8", "replace"))
    length = wave.open(str(clean)).getnframes()
    if speech_rms is None or length <= lead_floor + tail_floor:
        raise GenerationError(f"no speech for take {take['id']}")
    name = take["group"] or take["id"]

    def noise(color, level, what):
        # Variants of an invariance group differ only before the speech: their noise is
        # one draw, lined up at the speech's first sample.
        store = noise_dir / f"{color}-{rate}.wav"
        total = wave.open(str(store)).getnframes()
        start = corpus.rng_for(what, name).randrange(rate, total // 2) - lead_floor
        gain = level / levels[f"{color}-{rate}"]
        return ["-v", f"{gain:.6f}", f"|sox -D {store} -p trim {start}s {length}s"]

    inputs = []
    if lead_floor or tail_floor:
        inputs += noise("white", db_to_amplitude(c["floorDb"]), "floor")
    if c["noise"]:
        inputs += noise(c["noise"]["color"], speech_rms / 10 ** (c["noise"]["snr"] / 20), "noise")
    wav = out_dir / f"{take['id']}.wav"
    mix = ["-m", "-v", "1", clean, *inputs] if inputs else [clean]
    run(["sox", "-D", *mix, "-b", "16", wav, "pad", f"{lead_zero}s", f"{tail_zero}s"])
    clean.unlink()
    seconds = (length + lead_zero + tail_zero) / rate
    if c["mp3"]:
        mp3 = wav.with_suffix(".mp3")
        run(["ffmpeg", "-v", "error", "-nostdin", "-y", "-i", wav, "-codec:a", "libmp3lame",
             "-b:a", f"{c['mp3']}k", "-ac", "1", mp3])
        wav.unlink()
        return mp3, seconds
    return wav, seconds


def render_one(args):
    take, raw, out_dir, noise_dir, levels, work = args
    path, seconds = render(take, raw, out_dir, noise_dir, levels, work)
    return take["id"], str(path), seconds


# ---------------------------------------------------------------------------


def learner_job(take):
    pace = take["pace"]
    pitch = take["pitch"] if take["voice"].startswith("espeak:") else 0
    return (synth_job_key(take["voice"], take["spoken"], pace, pitch), take["voice"],
            take["spoken"], pace, pitch)


def generate(out, quick, model_voice, workers, sink_takes=0, log=print):
    sentences = corpus.load_sentences()
    if quick:
        sentences = corpus.quick_subset(sentences)
    takes = corpus.plan(sentences)
    if out.exists():
        shutil.rmtree(out)
    models_dir, takes_dir, raw_dir, noise_dir = (out / d for d in ("models", "takes", "raw", "noise"))
    for d in (models_dir, takes_dir, raw_dir, noise_dir):
        d.mkdir(parents=True)
    started = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="orvessa-eval-") as tmp:
        work = Path(tmp)
        model_jobs = {s: (synth_job_key(model_voice, s, None, None), model_voice, s, None, None)
                      for s, _ in sentences}
        jobs = {j[0]: j for j in model_jobs.values()}
        for t in takes:
            j = learner_job(t)
            jobs[j[0]] = j
        log(f"synthesising {len(jobs)} utterances ({len(sentences)} sentences, "
            f"{len(takes)} takes)")
        synthesise_all(list(jobs.values()), raw_dir, work, workers)
        log(f"  {time.monotonic() - started:.0f} s")
        models = {}
        with ThreadPoolExecutor(max_workers=workers) as pool:
            futures = []
            for number, (s, _) in enumerate(sentences):
                mp3 = models_dir / f"m{number:03d}.mp3"
                models[s] = mp3
                futures.append(pool.submit(make_model, raw_dir / f"{model_jobs[s][0]}.wav",
                                           mp3, work))
            for f in futures:
                f.result()
        levels = make_noises(noise_dir)
        log(f"models made, rendering takes ({time.monotonic() - started:.0f} s)")
        args = [(t, raw_dir / f"{learner_job(t)[0]}.wav", takes_dir, noise_dir, levels, work)
                for t in takes]
        rendered = {}
        with ProcessPoolExecutor(max_workers=workers) as pool:
            for take_id, path, seconds in pool.map(render_one, args, chunksize=8):
                rendered[take_id] = (path, seconds)
        if sink_takes:
            log(f"playing {sink_takes} takes through the null sink "
                f"({time.monotonic() - started:.0f} s)")
            for take, path, seconds in sink.record(sink.choose(takes, sink_takes), rendered,
                                                   takes_dir, work, log):
                takes.append(take)
                rendered[take["id"]] = (str(path), seconds)
    shutil.rmtree(raw_dir)
    with open(out / "truth.jsonl", "w", encoding="utf-8") as truth, \
            open(out / "batch.tsv", "w", encoding="utf-8") as batch:
        for t in takes:
            path, seconds = rendered[t["id"]]
            record = dict(t, recording=path, model=str(models[t["sentence"]]),
                          seconds=round(seconds, 3), modelVoice=model_voice)
            truth.write(json.dumps(record, ensure_ascii=False) + "\n")
            batch.write(f"{t['sentence']}\t{models[t['sentence']]}\t{path}\n")
    log(f"wrote {len(takes)} takes of {len(sentences)} sentences to {out} "
        f"in {time.monotonic() - started:.0f} s")


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out", type=Path, help="directory to (re)create")
    parser.add_argument("--quick", action="store_true", help="a tenth of the sentences")
    parser.add_argument("--model-voice", default=corpus.DEFAULT_MODEL_VOICE,
                        help="ENGINE:NAME of the model voice (default %(default)s)")
    parser.add_argument("--jobs", type=int, default=1, help="parallel workers (default 1)")
    parser.add_argument("--sink", type=int, default=0, metavar="N",
                        help="also play N takes through a private null sink and record them")
    args = parser.parse_args(argv)
    try:
        generate(args.out.resolve(), args.quick, args.model_voice, max(1, args.jobs), args.sink)
    except (GenerationError, sink.SinkError) as e:
        print(f"generate: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
