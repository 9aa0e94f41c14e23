"""What the feedback evaluation is made of: sentences, voices, the split into a tuning
and a test half, the takes planned for each sentence and their ground truth.

Nothing here runs a program; generate.py turns the plan into audio. Every choice is
drawn from a random generator seeded by the take's own name, so the same corpus comes
out on every run and adding a sentence does not reshuffle the others.
"""

import hashlib
import json
import random
import re
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent.parent
DEMO_BOOK = ROOT / "tools" / "demo" / "book.json"
SENTENCES = HERE / "sentences.txt"

TUNING, TEST = "tuning", "test"
KINDS = ["intact", "left1", "left2", "replaced", "cut"]

# Learner voices as ENGINE:NAME. The model voice is a parameter of generate.py.
LEARNER_VOICES = [
    "espeak:en-us", "espeak:en-us+f3", "espeak:en-us+m3",
    "espeak:en-gb", "espeak:en-gb+f2", "espeak:en-gb+m3",
    "espeak:en-gb-x-rp", "espeak:en-gb-x-rp+f4", "espeak:en-gb-x-rp+m5",
    "flite:kal", "flite:awb", "flite:rms", "flite:slt",
    "festival:kal_diphone", "festival:slt_hts",
]
DEFAULT_MODEL_VOICE = "festival:slt_hts"

VOICES_PER_KIND = 3           # learner voices of the sentence's half per kind
INVARIANCE_SHARE = 0.3        # sentences that also get a group of invariance variants
INVARIANCE_LEADS = [(0.0, "zero"), (0.05, "zero"), (0.3, "zero"), (1.0, "zero"),
                    (0.3, "floor"), (1.0, "floor")]
INVARIANCE_RATES = [16000, 44100]  # besides 48000, the rate every lead variant has

# Where the page's word list splits a sentence; mirrors SpeechAligner::words.
_SEPARATORS = re.compile("[\\s\\-\u2010-\u2015\u2212/]+")
_APOSTROPHES = "'\u2019\u02bc"


def stable_hash(text):
    return int(hashlib.sha1(text.encode("utf-8")).hexdigest(), 16)


def rng_for(*parts):
    return random.Random(stable_hash("\x1f".join(str(p) for p in parts)))


# ---------------------------------------------------------------------------
# Words


def words(sentence):
    """The page's words of a sentence: [{"text", "spelled", "start", "end", "token"}].

    start/end is the word's span in the sentence (punctuation around it stripped);
    token is True when the word was a whole white-space token (no hyphen or slash
    split it), which is what edit_text may safely remove or replace."""
    out = []
    pos = 0
    pieces = []
    for m in _SEPARATORS.finditer(sentence):
        pieces.append((pos, m.start(), m.group()))
        pos = m.end()
    pieces.append((pos, len(sentence), ""))
    for i, (start, end, sep) in enumerate(pieces):
        frm, to = start, end
        while frm < to and not sentence[frm].isalnum():
            frm += 1
        while to > frm and not sentence[to - 1].isalnum():
            to -= 1
        if frm == to:
            continue
        text = sentence[frm:to]
        spelled = ""
        for k, c in enumerate(text):
            if c.isalnum():
                spelled += c.lower()
            elif c in _APOSTROPHES:
                spelled += "'"
            elif c in ".," and 0 < k < len(text) - 1 and text[k - 1].isdigit() \
                    and text[k + 1].isdigit():
                spelled += c
        before = pieces[i - 1][2] if i > 0 else ""
        whole = (before == "" or before.isspace()) and (sep == "" or sep.isspace())
        out.append({"text": text, "spelled": spelled, "start": frm, "end": to,
                    "token": whole})
    return out


def editable(w):
    """Words a take may leave out or replace: whole tokens of letters (numbers written
    in digits and parts of hyphenated words would leave odd text behind)."""
    return w["token"] and w["spelled"].replace("'", "").isalpha()


def _tidy(text):
    text = re.sub(r"\s+", " ", text).strip()
    text = re.sub(r"\s+([,.!?;:])", r"\1", text)
    text = re.sub(r"([,;:])(?=[,.!?;:])", "", text)
    text = re.sub(r"^[\s,.;:!?]+", "", text)
    return text


def edit_text(sentence, remove=(), replace=None):
    """The sentence with the words at the indexes in remove left out and, with
    replace=(index, word), one word said as another."""
    ws = words(sentence)
    edits = [(ws[i]["start"], ws[i]["end"], "") for i in remove]
    if replace is not None:
        i, new = replace
        if ws[i]["text"][:1].isupper():
            new = new[:1].upper() + new[1:]
        edits.append((ws[i]["start"], ws[i]["end"], new))
    out = sentence
    for start, end, new in sorted(edits, reverse=True):
        out = out[:start] + new + out[end:]
    return _tidy(out)


def cut_text(sentence, keep):
    """The sentence spoken up to the end of its first keep words."""
    ws = words(sentence)
    return _tidy(sentence[: ws[keep - 1]["end"]])


# Common words a learner might say instead of another; each replacement has about
# the length of the word it replaces and never sounds like it.
REPLACEMENTS = """
    cat dog red box sun day map cup pen bag car hot old big new six ten way top
    book door fish game hand name look week rain road milk time ship tree walk home
    house water green small happy river table paper money night later bread phone
    garden yellow winter doctor friend mother school window letter people market
    weekend teacher morning kitchen evening holiday station picture""".split()
HOMOPHONES = [
    {"to", "too", "two"}, {"for", "four"}, {"there", "their", "they're"}, {"right", "write"},
    {"hear", "here"}, {"know", "no"}, {"by", "buy", "bye"}, {"see", "sea"}, {"son", "sun"},
    {"one", "won"}, {"eight", "ate"}, {"meet", "meat"}, {"week", "weak"}, {"new", "knew"},
    {"hour", "our"}, {"road", "rode"}, {"red", "read"}, {"whole", "hole"}, {"way", "weigh"},
    {"mail", "male"}, {"sail", "sale"}, {"flour", "flower"}, {"its", "it's"},
]


def sounds_alike(a, b):
    return a == b or any(a in g and b in g for g in HOMOPHONES)


def replacement_for(word, sentence_words, rng):
    """A common word of about the same length, not a homophone of word and not
    already in the sentence."""
    plain = word.replace("'", "")
    choices = [r for r in REPLACEMENTS
               if abs(len(r) - len(plain)) <= 1 and not sounds_alike(r, word)
               and r not in sentence_words]
    if not choices:
        choices = [r for r in REPLACEMENTS if not sounds_alike(r, word)
                   and r not in sentence_words]
    return rng.choice(choices)


# ---------------------------------------------------------------------------
# Sentences, voices and the split


def load_sentences(demo_book=DEMO_BOOK, extra=SENTENCES):
    """[(sentence, source)], demo book first, duplicates dropped."""
    book = json.loads(Path(demo_book).read_text(encoding="utf-8"))
    found = [(en, "demo") for lesson in book["lessons"]
             for en, *_ in lesson["sentences"]]
    found += [(line.strip(), "extra") for line in Path(extra).read_text(encoding="utf-8")
              .splitlines() if line.strip() and not line.startswith("#")]
    seen, out = set(), []
    for text, source in found:
        if text not in seen:
            seen.add(text)
            out.append((text, source))
    return out


def sentence_half(sentence):
    return TUNING if stable_hash("sentence\x1f" + sentence) % 2 == 0 else TEST


def voice_halves(voices=LEARNER_VOICES):
    """{voice: half}: within each engine the voices, ordered by a hash of their
    names, go to the two halves in turn, so each half hears every engine."""
    out = {}
    engines = {}
    for v in voices:
        engines.setdefault(v.split(":")[0], []).append(v)
    for members in engines.values():
        for i, v in enumerate(sorted(members, key=lambda v: stable_hash("voice\x1f" + v))):
            out[v] = TUNING if i % 2 == 0 else TEST
    return out


def quick_subset(sentences):
    """A tenth of the sentences, the same ones every time, demo and extra alike."""
    return [s for s in sentences if stable_hash("quick\x1f" + s[0]) % 10 == 0]


# ---------------------------------------------------------------------------
# Takes


def voice_params(voice, rng):
    """Pace and pitch of one learner take. For espeak-ng pace is words per minute and
    pitch its 0..99 scale; for the others pace stretches durations and pitch shifts
    by cents."""
    engine = voice.split(":")[0]
    if engine == "espeak":
        return {"pace": rng.randint(120, 175), "pitch": rng.randint(25, 75)}
    return {"pace": round(rng.uniform(0.85, 1.25), 2), "pitch": rng.choice([0, 0, -200, 200, -100, 100])}


def conditions(rng):
    """How one take is heard: silence before and after (digital zero, a faint floor or
    zero then floor), sample rate, noise and an MP3 round trip."""
    def pad():
        seconds = round(rng.uniform(0.0, 1.0), 3)
        return {"seconds": seconds, "zeroShare": rng.choice([0.0, 0.5, 1.0])}
    noise = None
    if rng.random() < 0.7:
        noise = {"color": rng.choice(["white", "pink"]), "snr": round(rng.uniform(15, 40), 1)}
    return {
        "lead": pad(), "tail": pad(),
        "floorDb": round(rng.uniform(-75, -60), 1),
        "rate": rng.choice([16000, 44100, 48000]),
        "noise": noise,
        "mp3": rng.choice([32, 64, 128]) if rng.random() < 0.2 else None,
        "peakDb": round(rng.uniform(-12, -1), 1),
    }


def plan_kind(sentence, kind, rng):
    """(spoken text, truth) for one kind of take, or None where the sentence is too
    short for it. truth holds word indexes: leftOut, replaced, cut."""
    ws = words(sentence)
    n = len(ws)
    ok = [i for i, w in enumerate(ws) if editable(w)]
    truth = {"leftOut": [], "replaced": [], "cut": [], "replacement": None}
    if kind == "intact":
        return sentence, truth
    if kind == "left1":
        if n < 3 or not ok:
            return None
        i = rng.choice(ok)
        truth["leftOut"] = [i]
        return edit_text(sentence, remove=[i]), truth
    if kind == "left2":
        pairs = [(a, b) for a in ok for b in ok if b > a + 1]
        if n < 5 or not pairs:
            return None
        pair = list(rng.choice(pairs))
        truth["leftOut"] = pair
        return edit_text(sentence, remove=pair), truth
    if kind == "replaced":
        if n < 3 or not ok:
            return None
        i = rng.choice(ok)
        new = replacement_for(ws[i]["spelled"], {w["spelled"] for w in ws}, rng)
        truth["replaced"] = [i]
        truth["replacement"] = new
        return edit_text(sentence, replace=(i, new)), truth
    if kind == "cut":
        if n < 5:
            return None
        k = rng.randint(1, min(3, n - 4))
        truth["cut"] = list(range(n - k, n))
        return cut_text(sentence, n - k), truth
    raise ValueError(kind)


def plan(sentences, voices=LEARNER_VOICES):
    """Every take of the corpus: a list of dicts (see generate.py for the fields it
    adds). Takes only pair sentences and voices of the same half."""
    halves = voice_halves(voices)
    by_half = {h: [v for v in voices if halves[v] == h] for h in (TUNING, TEST)}
    takes = []
    for number, (sentence, source) in enumerate(sentences):
        half = sentence_half(sentence)
        n = len(words(sentence))
        for kind in KINDS:
            rng = rng_for("take", sentence, kind)
            for voice in rng.sample(by_half[half], VOICES_PER_KIND):
                spoken = plan_kind(sentence, kind, rng)
                if spoken is None:
                    break
                text, truth = spoken
                takes.append({
                    "id": f"s{number:03d}-{kind}-{voice.replace(':', '_').replace('+', '_')}",
                    "sentence": sentence, "source": source, "half": half, "kind": kind,
                    "spoken": text, "words": n, "voice": voice,
                    **voice_params(voice, rng), **truth, "conditions": conditions(rng),
                    "group": None, "variant": None})
        rng = rng_for("invariance", sentence)
        if rng.random() < INVARIANCE_SHARE:
            kind = rng.choice(["intact", "left1"])
            voice = rng.choice(by_half[half])
            spoken = plan_kind(sentence, kind, rng)
            if spoken is None:
                continue
            text, truth = spoken
            base = conditions(rng)
            base["mp3"] = None
            group = f"g{number:03d}"
            params = voice_params(voice, rng)
            variants = [(48000, s, k) for s, k in INVARIANCE_LEADS]
            variants += [(r, 0.3, "zero") for r in INVARIANCE_RATES]
            for rate, seconds, kind_of_lead in variants:
                c = json.loads(json.dumps(base))
                c["rate"] = rate
                c["lead"] = {"seconds": seconds, "zeroShare": 1.0 if kind_of_lead == "zero" else 0.0}
                c["tail"] = {"seconds": 0.3, "zeroShare": 0.0}
                name = f"{rate}-{kind_of_lead}{int(seconds * 1000)}"
                takes.append({
                    "id": f"{group}-{kind}-{name}", "sentence": sentence, "source": source,
                    "half": half, "kind": kind, "spoken": text, "words": n, "voice": voice,
                    **params, **truth, "conditions": c, "group": group, "variant": name})
    return takes
