#!/usr/bin/python3
# Prints the seven tag fields of an audio file as mutagen reads them, as JSON:
# {"title": ..., ..., "keys": [every frame or field name present]}.
import json
import sys

import mutagen
from mutagen.asf import ASF
from mutagen.flac import FLAC
from mutagen.oggopus import OggOpus
from mutagen.oggvorbis import OggVorbis

path = sys.argv[1]
ext = path.rsplit(".", 1)[-1].lower()
out = {}
if ext in ("mp3", "wav"):
    tags = mutagen.File(path).tags or {}
    frames = {"title": "TIT2", "artist": "TPE1", "album": "TALB", "year": "TDRC", "track": "TRCK"}
    for name, frame in frames.items():
        if frame in tags:
            out[name] = str(tags[frame].text[0])
    if "TCON" in tags:
        out["genre"] = tags["TCON"].genres[0] if tags["TCON"].genres else ""
    comments = tags.getall("COMM") if tags else []
    if comments:
        out["comment"] = str(comments[0].text[0])
    out["keys"] = sorted(k.split(":")[0] for k in tags.keys())
elif ext in ("ogg", "flac", "opus"):
    tags = {"ogg": OggVorbis, "flac": FLAC, "opus": OggOpus}[ext](path).tags or {}
    fields = {"title": "title", "artist": "artist", "album": "album", "year": "date",
              "track": "tracknumber", "genre": "genre", "comment": "comment"}
    for name, field in fields.items():
        if field in tags:
            out[name] = tags[field][0]
    if "comment" not in out and "description" in tags:
        out["comment"] = tags["description"][0]
    out["keys"] = sorted(k.lower() for k in tags.keys())
elif ext == "wma":
    tags = ASF(path).tags
    fields = {"title": "Title", "artist": "Author", "album": "WM/AlbumTitle", "year": "WM/Year",
              "track": "WM/TrackNumber", "genre": "WM/Genre", "comment": "Description"}
    for name, field in fields.items():
        if field in tags and str(tags[field][0]) != "":
            out[name] = str(tags[field][0])
    # The content description always has its five fields; empty ones are none.
    out["keys"] = sorted(k for k, v in tags.items() if any(str(x) != "" for x in v))
print(json.dumps(out, ensure_ascii=False))
