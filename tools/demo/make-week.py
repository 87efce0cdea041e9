#!/usr/bin/env python3
"""Writes the demo's week of listening: one now-playing feed per session and
sessions.txt ("START SECONDS FEED" a line) for the simulated shell.

The week is fixed by its seed, so the files it writes are the ones kept in
week/; run it again only to change the week."""
import json
import os
import random

SEED = 20150301
HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "week")

# (title, artist, album or None, length in seconds)
SONGS = [
    ("Morning Light", "The Larks", "Daybreak", 214),
    ("Open Window", "The Larks", "Daybreak", 187),
    ("Paper Boats", "The Larks", "Daybreak", 241),
    ("Night Drive", "The Larks", "Neon Roads", 298),
    ("Tail Lights", "The Larks", "Neon Roads", 256),
    ("City Rain", "Mira Stone", "Grey Avenue", 240),
    ("Umbrella Days", "Mira Stone", "Grey Avenue", 203),
    ("Corner Café", "Mira Stone", "Grey Avenue", 176),
    ("Slow Tram", "Mira Stone", "Grey Avenue", 265),
    ("Harbour Song", "Old Pier", None, 200),
    ("Low Tide", "Old Pier", None, 232),
    ("Salt & Rope", "Old Pier", "Driftwood", 189),
    ("Fieldnotes", "Anna Vey", "Quiet Country", 222),
    ("Barley", "Anna Vey", "Quiet Country", 198),
    ("Long Road Home", "Anna Vey", "Quiet Country", 307),
    ("Kettle Whistle", "Anna Vey", "Small Rooms", 151),
    ("Copper Wire", "Static Bloom", "Voltage", 183),
    ("Overdrive", "Static Bloom", "Voltage", 207),
    ("Feedback Loop", "Static Bloom", "Voltage", 236),
    ("Blue Hour", "Jonas Kell Trio", "Late Set", 362),
    ("Brushes", "Jonas Kell Trio", "Late Set", 281),
    ("Last Call", "Jonas Kell Trio", "Late Set", 329),
    ("Stardust Waltz", "Jonas Kell Trio", "Standards", 254),
    ("Lantern", "Sela", "Lantern", 219),
    ("Paper Moon Garden", "Sela", "Lantern", 246),
    ("Ninety Nine Steps", "Sela", "Lantern", 193),
    ("Run, Rabbit", "The Hedgerows", "Spring Fair", 168),
    ("Maypole", "The Hedgerows", "Spring Fair", 201),
    ("Weathervane", "The Hedgerows", "Spring Fair", 226),
    ("Song for Nobody", "Kit Arden", "Demos", 174),
]
STREAM = "http://radio.example/jazz"

# (day, start "HH:MM", minutes, habit): a habit picks the songs.
SESSIONS = [
    ("2015-03-01", "09:10", 35, "larks"),
    ("2015-03-01", "20:30", 40, "jazz"),
    ("2015-03-02", "07:45", 30, "commute"),
    ("2015-03-02", "18:05", 25, "mix"),
    ("2015-03-03", "07:40", 30, "commute"),
    ("2015-03-03", "12:30", 15, "stream"),
    ("2015-03-04", "07:50", 30, "commute"),
    ("2015-03-04", "23:25", 55, "jazz"),  # crosses midnight into the 5th
    ("2015-03-05", "17:45", 40, "mix"),
    ("2015-03-06", "08:00", 25, "larks"),
    ("2015-03-06", "21:00", 45, "mix"),
    ("2015-03-07", "10:15", 50, "repeat"),
]

HABITS = {
    "larks": [s for s in SONGS if s[1] == "The Larks"] + [SONGS[5], SONGS[12]],
    "jazz": [s for s in SONGS if s[1] == "Jonas Kell Trio"] + [SONGS[9], SONGS[10]],
    "commute": [s for s in SONGS if s[1] in ("Mira Stone", "Static Bloom", "Sela")],
    "mix": SONGS,
    "repeat": [SONGS[5], SONGS[23], SONGS[3]],
    "stream": [s for s in SONGS if s[1] == "Anna Vey"],
}


def state(at, song, position, playing):
    title, artist, album, _ = song
    return {"at": round(at, 1), "title": title, "album": album, "artist": artist,
            "position": position, "playing": playing}


def session_feed(rng, habit, seconds):
    """States of one session: tracks one after another, sometimes a pause,
    a track started again from the top, or (habit "stream") the radio."""
    lines = []
    at = 0.5
    pool = HABITS[habit]
    previous = None
    while at < seconds - 30:
        if habit == "stream" and not lines:
            lines.append({"at": at, "title": STREAM, "album": None, "artist": None,
                          "position": 1, "playing": True})
            at += 600
            lines.append({"at": at, "album": None, "artist": None, "position": 0,
                          "playing": False})
            at += 5
            continue
        if habit == "repeat" and previous is not None and rng.random() < 0.5:
            song = previous
        else:
            song = rng.choice([s for s in pool if s is not previous] or pool)
        length = song[3]
        if song is previous:
            # Started again from the top: the position shows 0 for a moment.
            lines.append(state(at, song, 0, True))
            at += 0.8
        lines.append(state(at, song, 1, True))
        played = min(length, seconds - at)
        if rng.random() < 0.12 and played > 90:
            pause_at = at + rng.randint(40, int(played) - 30)
            lines.append(state(pause_at, song, round(pause_at - at, 1), False))
            resume = pause_at + rng.randint(20, 180)
            lines.append(state(resume, song, round(pause_at - at, 1), True))
            at = resume + (played - (pause_at - at))
        else:
            at += played
        previous = song
        at += rng.choice([0.5, 1.5, 2.5])
    lines.append({"at": round(max(at, 1.0), 1), "album": None, "artist": None, "position": 0,
                  "playing": False})
    return lines


def main():
    rng = random.Random(SEED)
    os.makedirs(OUT, exist_ok=True)
    listing = []
    for n, (day, start, minutes, habit) in enumerate(SESSIONS, 1):
        seconds = minutes * 60
        name = "%02d-%s-%s.jsonl" % (n, day, habit)
        with open(os.path.join(OUT, name), "w", encoding="utf-8") as out:
            for line in session_feed(rng, habit, seconds):
                out.write(json.dumps(line, ensure_ascii=False) + "\n")
        # A minute of silence after the music, so the last state is seen.
        listing.append("%sT%s:00 %d %s" % (day, start, seconds + 60, name))
    with open(os.path.join(OUT, "sessions.txt"), "w", encoding="utf-8") as out:
        out.write("# START (local) SECONDS FEED: one run of the shell each\n")
        out.write("\n".join(listing) + "\n")


if __name__ == "__main__":
    main()
