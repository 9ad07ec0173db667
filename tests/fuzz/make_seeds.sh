#!/usr/bin/env bash
# Makes the seed corpus of each fuzz target in tests/fuzz/corpus/ (kept in the
# repository; run again only to change it). Seeds are small: the files of
# tests/corpus, a few made by the tools the tests use, the default skin.
# Needs sox, lame, ffmpeg and python3.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$root/tests/fuzz/corpus
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
rm -rf "$out"
mkdir -p "$out"/{ini,skin,headers,probe}

# A selector byte, then the file.
seed() { { printf "\\x$(printf %02x "$2")"; cat "$3"; } >"$out/$1/$4"; }

# ini: the locale byte picks en_US (0), de_DE (1), ja_JP (3), fa_IR (5).
cat >"$tmp/en.ini" <<'INI'
[source]
source=0
device=1
device name=alsa_card.pci-0000_00_1b.0
line name=alsa_input.pci-0000_00_1b.0.analog-stereo#analog-input-mic
[schedule]
schedule=2
special day=12/8/2026
begin time=9:30:00 PM
end time=10:00:00 PM
[limit]
enable limit=1
time=0x000000B4
stop=0
new=1
[format]
auto name=1
format=3
path=/home/user/Music
[mp3]
bitrate=11
enable vbr=0
[ogg]
enable quality=1
quality=300
INI
printf '\xef\xbb\xbf; written by hand\r\n[Schedule]\r\nSpecial Day=08.12.26\r\nbegin time = 21:30:00\r\n[format\r\nPATH=%s\r\n[limit]\r\ntime=-2147483648\r\ntime=2147483648\r\n' \
  "$(printf 'x%.0s' $(seq 1 2100))" >"$tmp/de.ini"
printf '[schedule]\nspecial day=2026/12/08\nend time=23:59:59\n[wav]\nmode=0xFFFFFFFF\nbit=12abc\n' >"$tmp/ja.ini"
printf '[schedule]\nspecial day=۱۴۰۵/۹/۱۸\nbegin time=۲۱:۳۰:۰۰\n' >"$tmp/fa.ini"
seed ini 0 "$tmp/en.ini" en_us.ini
seed ini 1 "$tmp/de.ini" de_de_crlf_bom.ini
seed ini 3 "$tmp/ja.ini" ja_jp.ini
seed ini 5 "$tmp/fa.ini" fa_ir.ini

# skin: the default skin and the test skin with embedded pictures.
cp "$root/skins/default/skin.json" "$out/skin/default.json"
python3 "$root/tools/skin/pack_skin.py" "$root/tests/engine/skin/fixtures/embed_skin.json" \
  "$out/skin/embedded_png.json"

# headers: even first byte the MP3 probe, odd the WAV chunk walk.
sox -n -r 8000 -c 1 "$tmp/tone.wav" synth 0.5 sine 440
lame --quiet -V 6 --tt "Seed" --ta "Velquor" --add-id3v2 "$tmp/tone.wav" "$tmp/vbr_id3.mp3"
lame --quiet -b 16 -t "$tmp/tone.wav" "$tmp/cbr_plain.mp3"
ffmpeg -loglevel error -i "$tmp/tone.wav" -metadata title=Seed -metadata artist=Velquor \
  "$tmp/info.wav"
for f in tone8k.mp3 tone22k.mp3; do seed headers 0 "$root/tests/corpus/$f" "$f"; done
seed headers 0 "$tmp/vbr_id3.mp3" vbr_id3.mp3
seed headers 0 "$tmp/cbr_plain.mp3" cbr_no_header.mp3
for f in tone8k_mono.wav tone11k_u8.wav; do seed headers 1 "$root/tests/corpus/$f" "$f"; done
seed headers 1 "$tmp/info.wav" list_info.wav

# probe: the low three bits name the extension (mp3 ogg wav wma flac aiff au bin).
i=0
for ext in mp3 ogg wav wma flac aiff au; do
  for f in "$root"/tests/corpus/*."$ext"; do seed probe $i "$f" "$(basename "$f")"; done
  i=$((i + 1))
done
seed probe 8 "$tmp/vbr_id3.mp3" vbr_id3_tag_write.mp3
seed probe 10 "$tmp/info.wav" list_info_tag_write.wav
seed probe 7 "$tmp/tone.wav" wav_named_bin.bin
