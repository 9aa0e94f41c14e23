"""Plays takes through a private PulseAudio null sink and records what the sink plays, the
way the program's recorder hears a learner on such a device: 44.1 kHz, digital zero until
the sound starts, whatever the sound server does to the timing."""

import os
import signal
import subprocess
import time
from pathlib import Path

import corpus

NULLSINK = corpus.ROOT / "tests" / "support" / "nullsink.sh"
RECORD_RATE = 44100


class SinkError(Exception):
    pass


def choose(takes, count):
    """The takes to play: intact and one-left-out takes outside the invariance groups,
    picked by a hash so the choice does not depend on the order of the corpus."""
    pool = [t for t in takes if t["group"] is None and t["kind"] in ("intact", "left1")
            and not t["conditions"].get("mp3")]
    pool.sort(key=lambda t: corpus.stable_hash("sink\x1f" + t["id"]))
    return pool[:count]


def record(takes, rendered, out_dir, work, log=print):
    """[(take, path, seconds)] for each take played through the sink; rendered maps a
    take's id to (path, seconds) of its file."""
    sink_dir = Path(work) / "sink"
    env = dict(os.environ, PULSE_SERVER=f"unix:{sink_dir}/native")
    started = subprocess.run(["sh", str(NULLSINK), "start", str(sink_dir)], capture_output=True)
    if started.returncode != 0:
        raise SinkError("the null sink did not start: " + started.stderr.decode(errors="replace"))
    made = []
    try:
        for take in takes:
            source, _ = rendered[take["id"]]
            rng = corpus.rng_for("sink", take["id"])
            lead, tail = round(rng.uniform(0.1, 0.8), 2), 0.4
            sink_take = dict(take, id=take["id"] + "-sink")
            sink_take["conditions"] = dict(take["conditions"], rate=RECORD_RATE, sink=True,
                                           sinkLead=lead, mp3=None)
            path = out_dir / f"{sink_take['id']}.wav"
            rec = subprocess.Popen(
                ["parecord", "--device=orvessa_capture", f"--rate={RECORD_RATE}",
                 "--channels=1", "--format=s16le", "--file-format=wav", str(path)],
                env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            try:
                time.sleep(lead)
                subprocess.run(["paplay", "--device=orvessa_null", str(source)], env=env,
                               check=True, capture_output=True)
                time.sleep(tail)
            finally:
                rec.send_signal(signal.SIGINT)
                try:
                    rec.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    rec.kill()
                    rec.wait()
            seconds = os.path.getsize(path) / 2 / RECORD_RATE if path.exists() else 0
            if seconds < 0.5:
                raise SinkError(f"nothing was recorded of {take['id']}")
            made.append((sink_take, path, seconds))
        log(f"  {len(made)} takes recorded through the null sink")
    finally:
        subprocess.run(["sh", str(NULLSINK), "stop", str(sink_dir)], capture_output=True)
    return made
