#!/bin/sh
# Recordings for the speech aligner's tests and benchmark: 16 kHz mono 16-bit WAVs in
# tests/data/speech. Synthesised sentences come from espeak-ng (US English, 140 words a
# minute) with a faint noise floor (-60 dBFS) as a microphone would add; the real read speech
# comes from pocketsphinx-testdata. Needs espeak-ng and sox.
#
#   tools/speech/make_fixtures.sh [output folder]
set -eu

out=${1:-$(dirname "$0")/../../tests/data/speech}
testdata=/usr/share/pocketsphinx/test/data
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Same pseudo-random noise on every run.
sox_r() { sox -R "$@"; }

# say NAME TEXT: the sentence at 16 kHz with the noise floor mixed in.
say() {
    espeak-ng -v en-us -s 140 -w "$tmp/$1.raw.wav" "$2"
    sox_r "$tmp/$1.raw.wav" -r 16000 -c 1 -b 16 "$tmp/$1.16k.wav"
    len=$(soxi -D "$tmp/$1.16k.wav")
    sox_r -n -r 16000 -c 1 -b 16 "$tmp/$1.floor.wav" synth "$len" whitenoise vol 0.001
    sox_r -m -v 1 "$tmp/$1.16k.wav" -v 1 "$tmp/$1.floor.wav" -b 16 "$out/$1.wav"
}

say intact "I would like to book a room for two nights."
say unknown "Please ask Zorblatt to call me tomorrow."

# "two" cut out of the intact sentence. The forced alignment of intact.wav puts the word at
# frames 173-197 (1.73-1.98 s), between "for" and the pause before "nights".
sox_r "$out/intact.wav" "$tmp/before.wav" trim 0 =1.73
sox_r "$out/intact.wav" "$tmp/after.wav" trim =1.98
sox_r "$tmp/before.wav" "$tmp/after.wav" "$out/cut_two.wav"

# The intact sentence under white noise as loud as itself (0 dB SNR against the RMS of the
# whole file): the noise is made, measured, and scaled to the sentence's RMS.
rms() { sox "$1" -n stat 2>&1 | awk '/RMS +amplitude/ { print $3 }'; }
len=$(soxi -D "$out/intact.wav")
sox_r -n -r 16000 -c 1 -b 16 "$tmp/white.wav" synth "$len" whitenoise vol 0.5
gain=$(awk -v s="$(rms "$out/intact.wav")" -v n="$(rms "$tmp/white.wav")" 'BEGIN { print s / n }')
sox_r "$tmp/white.wav" "$tmp/white_scaled.wav" vol "$gain"
sox_r -m -v 1 "$out/intact.wav" -v 1 "$tmp/white_scaled.wav" -b 16 "$out/noisy_0db.wav"

# Real read speech: "go forward ten meters" (raw 16 kHz) and one sentence of a LibriVox
# reading, about 5 s.
sox_r -t raw -r 16000 -e signed -b 16 -c 1 "$testdata/goforward.raw" "$out/goforward.wav"
sox_r "$testdata/librivox/sense_and_sensibility_01_austen_64kb-0890.wav" -r 16000 -c 1 -b 16 \
    "$out/illdisposed.wav"

# "selfish" cut out of the real sentence, where its forced alignment puts it (2.78-3.59 s).
sox_r "$out/illdisposed.wav" "$tmp/before.wav" trim 0 =2.78
sox_r "$out/illdisposed.wav" "$tmp/after.wav" trim =3.59
sox_r "$tmp/before.wav" "$tmp/after.wav" -b 16 "$out/cut_selfish.wav"
