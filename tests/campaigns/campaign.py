#!/usr/bin/env python3
"""Campaigns against the store: the real shell with the installed tweak is
killed, crashed at chosen file calls, given failing file calls, cut off as
by a power loss, and handed hostile files; after each, every file is read
with Python's plistlib and every rule of the store is checked.

usage: campaign.py BUILD_DIR INSTALLER CAMPAIGN [--scale N] [--seed S]
  CAMPAIGN: kill | crashpoints | faults | powerloss | hostile | fulldisk | sizelimit | all
  (sizelimit writes maps of 64 MiB: it runs only when named)
  --scale 1 is the bounded run of the test suite; larger runs more.
"""
import argparse
import json
import os
import plistlib
import random
import resource
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time

# The store's layout comes from the build (BUILD_DIR/python), written from
# the C++ format so no harness spells a path of its own.
if len(sys.argv) > 1:
    sys.path.insert(0, os.path.join(sys.argv[1], "python"))
import corvane_store_layout as layout  # noqa: E402


def stem(name):
    return name[:-len(".plist")]


STORE = layout.STORE
HISTORY = [stem(n) for n in layout.HISTORY_FILES]
DAY_FILES = [stem(n) for n in layout.DAY_FILES]
TMP_PREFIX = ".corvane-tmp-"
ASIDE = ".unreadable-"
START = time.mktime(time.strptime("2015-03-05 23:40:00", "%Y-%m-%d %H:%M:%S"))

args = None


class Failure(Exception):
    pass


def say(text):
    print(text, flush=True)


# --- the listening: many titles, pauses, restarts, a stream, crossing midnight


def timeline(seed, length):
    """(absolute time, state) changes over [START, START + length)."""
    rng = random.Random(seed)
    titles = ["Song %d" % i for i in range(60)] + ["Café ♫ & <Co>", "http:", "Ünïcødé"]
    events, t = [], START
    while t < START + length:
        r = rng.random()
        if r < 0.05:
            state = {"title": "http://radio/stream", "album": None, "artist": "R",
                     "position": 3.0, "playing": True}
        elif r < 0.10:
            state = {"title": None, "album": None, "artist": None, "position": 1.0,
                     "playing": False}
        else:
            title = rng.choice(titles)
            state = {"title": title, "album": "Album %d" % (hash(title) % 5), "artist": "Art",
                     "position": 0.0 if rng.random() < 0.1 else 10.0,
                     "playing": rng.random() < 0.9}
        events.append((t, state))
        if state["position"] == 0.0:  # a restart at the top, then playing on
            events.append((t + 0.7, dict(state, position=1.0)))
        t += rng.uniform(3, 40)
    return events


def feed_for(events, t0, length):
    lines, current = [], None
    for t, state in events:
        if t <= t0:
            current = state
        elif t < t0 + length:
            lines.append(dict(state, at=round(t - t0 + 0.5, 3)))
    if current:
        lines.insert(0, dict(current, at=0))
    return "".join(json.dumps(line) + "\n" for line in lines)


# --- running the shell


class Device:
    def __init__(self, path):
        self.path = path
        self.store = os.path.join(path, STORE)

    def install(self):
        subprocess.run(["bash", args.installer, self.path, args.build], check=True,
                       stdout=subprocess.DEVNULL)

    def env(self, fault=None, ops=None):
        env = dict(os.environ, CORVANE_DEVICE_ROOT=self.path, CORVANE_HEADLESS="1")
        if not args.sanitized:
            env["LD_PRELOAD"] = os.path.join(args.build, "lib", "libcorvane_faultshim.so")
            env["CORVANE_FAULT_ROOT"] = self.store
            env["CORVANE_FAULT_NOSYNC"] = "1"
        if fault:
            env["CORVANE_FAULT"] = fault
        if ops:
            env["CORVANE_FAULT_OPS"] = ops
        return env

    def command(self, t0, length, feed):
        path = os.path.join(self.path, "feed.jsonl")
        with open(path, "w") as f:
            f.write(feed)
        start = time.strftime("%Y-%m-%dT%H:%M:%S", time.localtime(t0))
        return [os.path.join(args.build, "bin", "SpringBoard"), "--feed", path, "--virtual",
                "--start", start, "--for", str(length)]

    def start(self, t0, length, events, fault=None, ops=None):
        return subprocess.Popen(self.command(t0, length, feed_for(events, t0, length)),
                                env=self.env(fault, ops), stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE, start_new_session=True)

    def run(self, t0, length, events, fault=None, ops=None, timeout=120, expect_ok=True):
        """Runs to the end; gives (status, max RSS in kB, stderr)."""
        proc = self.start(t0, length, events, fault, ops)
        deadline = time.monotonic() + timeout
        while True:
            pid, status, usage = os.wait4(proc.pid, os.WNOHANG)
            if pid:
                break
            if time.monotonic() > deadline:
                os.killpg(proc.pid, signal.SIGKILL)
                os.wait4(proc.pid, 0)
                raise Failure("the shell did not finish within %d s" % timeout)
            time.sleep(0.01)
        err = proc.stderr.read().decode("utf-8", "replace")
        proc.stderr.close()
        proc.returncode = os.waitstatus_to_exitcode(status)
        if expect_ok and proc.returncode != 0:
            raise Failure("the shell failed (%d): %s" % (proc.returncode, err[-2000:]))
        return proc.returncode, usage.ru_maxrss, err


# --- reading and checking the store


def load(path):
    """plistlib's reading of a regular file (a pipe would block this reader)."""
    if not stat.S_ISREG(os.stat(path).st_mode):
        raise ValueError("not a regular file")
    with open(path, "rb") as f:
        return plistlib.load(f)


def read_store(store):
    """Every file as plistlib reads it; Failure for anything unreadable."""
    out = {"days": {}}
    for name in HISTORY:
        path = os.path.join(store, name + ".plist")
        if os.path.exists(path):
            try:
                out[name] = load(path)
            except Exception as e:
                raise Failure("%s does not read: %s" % (name, e))
    everyday = os.path.join(store, layout.EVERYDAY_DATA)
    for day in sorted(os.listdir(everyday)) if os.path.isdir(everyday) else []:
        files = {}
        for name in DAY_FILES:
            path = os.path.join(everyday, day, name + ".plist")
            if os.path.exists(path):
                try:
                    files[name] = load(path)
                except Exception as e:
                    raise Failure("%s of %s does not read: %s" % (name, day, e))
        out["days"][day] = files
    for folder, _, names in os.walk(store):
        for name in names:
            if ASIDE in name:
                raise Failure("a file was set aside: %s" % os.path.join(folder, name))
    return out


def all_strings(value, where):
    if args.lenient_types:
        return
    if isinstance(value, dict):
        for k, v in value.items():
            all_strings(v, where + "/" + k)
    elif isinstance(value, list):
        for i, v in enumerate(value):
            all_strings(v, "%s[%d]" % (where, i))
    elif not isinstance(value, str):
        raise Failure("%s holds %r, not text" % (where, value))


def check_any_time(s):
    """What holds at every instant, even right after a crash."""
    roots = {"DateArray": list, "IntMusicData": dict, "MusicIntData": dict, "SaveData": dict}
    for name, kind in roots.items():
        if name in s and not isinstance(s[name], kind):
            raise Failure("%s has a root of the wrong type" % name)
        if name in s:
            all_strings(s[name], name)
    for day, files in s["days"].items():
        for name, value in files.items():
            if not isinstance(value, dict):
                raise Failure("%s of %s has a root of the wrong type" % (name, day))
            all_strings(value, day + "/" + name)
    days = s.get("DateArray", [])
    if len(set(days)) != len(days):
        raise Failure("DateArray lists a day twice: %r" % days)
    if days != sorted(days):
        raise Failure("DateArray is out of order: %r" % days)


def check_settled(s, store):
    """What holds once the recorder has run a tick after any crash or fault."""
    check_any_time(s)
    for name in HISTORY:
        if name not in s:
            raise Failure("%s is missing" % name)
    im, mi = s["IntMusicData"], s["MusicIntData"]
    inverse = {t: n for n, t in im.items()}
    if inverse != mi or len(inverse) != len(im):
        only_im = {n: t for n, t in im.items() if mi.get(t) != n}
        only_mi = {t: n for t, n in mi.items() if im.get(n) != t}
        raise Failure("the maps are not inverse: %r / %r" % (only_im, only_mi))
    next_number = int(s["SaveData"]["MusicNumber"])
    if any(int(n) >= next_number for n in im):
        raise Failure("MusicNumber %d is not past every number" % next_number)
    folders = sorted(s["days"])
    if s["DateArray"] != folders:
        raise Failure("DateArray %r does not list the day folders %r" % (s["DateArray"], folders))
    for day, files in s["days"].items():
        for name in DAY_FILES:
            if name not in files:
                raise Failure("%s of %s is missing" % (name, day))
            for number in files[name]:
                if number not in im:
                    raise Failure("%s of %s has number %s without a title" % (name, day, number))
        if not set(files["MusicTime"]) <= set(files["MusicAlbum"]):
            raise Failure("%s: seconds without an album entry" % day)
    for folder, _, names in os.walk(store):
        for name in names:
            if name.startswith(TMP_PREFIX):
                raise Failure("a temporary file outlived a restart: %s" % name)


def check_grows(before, after):
    """Nothing recorded is lost and no counter goes down."""
    for name in ["IntMusicData", "MusicIntData"]:
        for k, v in before.get(name, {}).items():
            if after.get(name, {}).get(k) != v:
                raise Failure("%s lost %r: %r" % (name, k, v))
    if int(after.get("SaveData", {}).get("MusicNumber", "0")) < int(
            before.get("SaveData", {}).get("MusicNumber", "0")):
        raise Failure("MusicNumber went down")
    for day in before.get("DateArray", []):
        if day not in after.get("DateArray", []):
            raise Failure("DateArray lost %s" % day)
    for day, files in before["days"].items():
        for name, entries in files.items():
            now = after["days"].get(day, {}).get(name)
            if now is None:
                if entries:
                    raise Failure("%s of %s was lost" % (name, day))
                continue
            for k, v in entries.items():
                if k not in now:
                    raise Failure("%s of %s lost %s" % (name, day, k))
                if name == "MusicAlbum":
                    if now[k] != v:
                        raise Failure("album entry %s of %s changed" % (k, day))
                elif int(now[k]) < int(v):
                    raise Failure("%s of %s: %s went down from %s to %s" %
                                  (name, day, k, v, now[k]))


def total_seconds(s):
    return sum(int(v) for files in s["days"].values() for v in files.get("MusicTime", {}).values())


# --- campaigns


def new_device(tmp, name):
    device = Device(os.path.join(tmp, name))
    device.install()
    return device


def campaign_kill(tmp):
    """Random kill -9s of the shell over a feed crossing midnight, restarted
    on the same store each time."""
    kills = 100 * args.scale
    rng = random.Random(args.seed)
    events = timeline(args.seed, 3600 * 3)
    device = new_device(tmp, "kill")
    window = 90
    t0 = START
    began = time.monotonic()
    device.run(t0, window, events)  # a first run gives the time a run takes
    runtime = time.monotonic() - began
    t0 += window
    before = read_store(device.store)
    found = 0
    for i in range(kills):
        proc = device.start(t0, window, events)
        time.sleep(rng.uniform(0, runtime * 1.2))
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        proc.wait()
        proc.stderr.close()
        t0 += window
        try:
            now = read_store(device.store)
            check_any_time(now)
            check_grows(before, now)
            before = now
        except Failure as e:
            found += 1
            say("kill %d: %s" % (i, e))
            if found > 5:
                break
    device.run(t0, window, events)
    settled = read_store(device.store)
    try:
        check_settled(settled, device.store)
        check_grows(before, settled)
    except Failure as e:
        found += 1
        say("after the last restart: %s" % e)
    say("kill: %d kills over %d days, %d titles, %d s tallied; %d problems" %
        (kills, len(settled["days"]), len(settled["IntMusicData"]), total_seconds(settled), found))
    return found


def base_store(tmp, events):
    """A store with history, and the window the campaigns disturb."""
    device = new_device(tmp, "base")
    device.run(START, 1000, events)
    return device, START + 1000, 80


def count_calls(tmp, base, t0, window, events, ops=None):
    device = clone(tmp, base, "count")
    count_file = os.path.join(tmp, "calls")
    device.run(t0, window, events, fault="count:" + count_file, ops=ops)
    with open(count_file) as f:
        return int(f.read())


def clone(tmp, base, name):
    path = os.path.join(tmp, name)
    if os.path.exists(path):
        shutil.rmtree(path)
    shutil.copytree(base.path, path, symlinks=True)
    return Device(path)


def points(total, budget, rng):
    if budget >= total:
        return list(range(1, total + 1))
    return sorted(rng.sample(range(1, total + 1), budget))


def campaign_crashpoints(tmp):
    """The shell killed at the k-th file call of a window, for chosen k,
    then restarted on the same store."""
    if args.sanitized:
        say("crashpoints: needs the fault shim, skipped in the sanitizer build")
        return 0
    rng = random.Random(args.seed)
    events = timeline(args.seed + 1, 3600 * 3)
    base, t0, window = base_store(tmp, events)
    window *= 1 + args.scale // 10  # longer runs reach more distinct points
    before = read_store(base.store)
    # Every call that changes something: a crash between two of them is a
    # crash between two steps of a write.
    changes = "write,fsync,rename,mkdir"
    total = count_calls(tmp, base, t0, window, events, ops=changes)
    chosen = points(total, 40 * args.scale, rng)
    found = 0
    for k in chosen:
        device = clone(tmp, base, "crash")
        code, _, _ = device.run(t0, window, events, fault="crash:%d" % k,
                                 ops=changes, expect_ok=False)
        try:
            if code != -signal.SIGKILL:
                raise Failure("crash point %d was not reached (status %d)" % (k, code))
            crashed = read_store(device.store)
            check_any_time(crashed)
            check_grows(before, crashed)
            device.run(t0 + window, 5, events)
            settled = read_store(device.store)
            check_settled(settled, device.store)
            check_grows(crashed, settled)
        except Failure as e:
            found += 1
            say("crash at call %d: %s" % (k, e))
    say("crashpoints: %d of %d crash points; %d problems" % (len(chosen), total, found))
    return found


def campaign_faults(tmp):
    """The k-th open, write, fsync, rename or mkdir fails, once or for good;
    then the fault goes away and recording must resume within a minute."""
    if args.sanitized:
        say("faults: needs the fault shim, skipped in the sanitizer build")
        return 0
    rng = random.Random(args.seed)
    events = timeline(args.seed + 2, 3600 * 3)
    base, t0, window = base_store(tmp, events)
    before = read_store(base.store)
    found = runs = 0
    # The fault window starts just before midnight, so day creation is hit too.
    for op in ["open", "write", "fsync", "rename", "mkdir"]:
        total = count_calls(tmp, base, t0, window, events, ops=op)
        for mode in ["once", "always"]:
            for k in points(total, 6 * args.scale, rng):
                runs += 1
                device = clone(tmp, base, "fault")
                try:
                    device.run(t0, window, events, fault="%s:%d" % (mode, k), ops=op)
                    faulted = read_store(device.store)
                    check_any_time(faulted)
                    check_grows(before, faulted)
                    # A steady song for the minute after the fault.
                    steady = [(t0 + window - 1, {"title": "Steady", "album": "A", "artist": "B",
                                                  "position": 5.0, "playing": True})]
                    device.run(t0 + window, 65, steady)
                    settled = read_store(device.store)
                    check_settled(settled, device.store)
                    check_grows(faulted, settled)
                    if total_seconds(settled) < total_seconds(faulted) + 25:
                        raise Failure("recording did not resume within a minute")
                except Failure as e:
                    found += 1
                    say("%s %s at call %d: %s" % (op, mode, k, e))
    say("faults: %d injected faults; %d problems" % (runs, found))
    return found


def campaign_fulldisk(tmp):
    """The disk is full for a stretch across midnight (every write fails with
    ENOSPC): the recorder says so once, gives out no song number, and records
    again, the new day included, once there is room."""
    if args.sanitized:
        say("fulldisk: needs the fault shim, skipped in the sanitizer build")
        return 0
    events = timeline(args.seed + 5, 3600 * 3)
    base = new_device(tmp, "fulldisk-base")
    base.run(START, 600, events)
    before = read_store(base.store)
    t0, length = START + 600, 1800  # 23:50 to 00:20
    total = count_calls(tmp, base, t0, length, events, ops="write")
    found = 0
    # Spread over the run however many there are, each ending a tenth of the
    # writes before the run does: a spell past the last write fails nothing,
    # one at the very end leaves no write to notice its end.
    span, spell = total - total // 5, total // 10
    spells = [(total // 4, 3 * total // 4)] + [
        (span * k // (args.scale + 1), span * k // (args.scale + 1) + spell)
        for k in range(1, 1 + args.scale)]
    for first, last in spells:
        device = clone(tmp, base, "fulldisk")
        try:
            _, _, err = device.run(t0, length, events, fault="window:%d:%d" % (first, last),
                                   ops="write")
            after = read_store(device.store)
            check_settled(after, device.store)
            check_grows(before, after)
            if err.count("the store cannot be written") != 1:
                raise Failure("the failure was told %d times" %
                              err.count("the store cannot be written"))
            if err.count("the store can be written again") != 1:
                raise Failure("the end of the failure was not noticed")
            numbers = [int(n) for n in after["IntMusicData"]]
            if int(after["SaveData"]["MusicNumber"]) != max(numbers, default=-1) + 1:
                raise Failure("song numbers were used up: MusicNumber %s, highest %d" %
                              (after["SaveData"]["MusicNumber"], max(numbers, default=-1)))
            last_day = max(after["days"])
            if not any(int(v) for v in after["days"][last_day].get("MusicTime", {}).values()):
                raise Failure("nothing was recorded on %s once there was room" % last_day)
        except Failure as e:
            found += 1
            say("fulldisk writes %d to %d: %s" % (first, last, e))
    say("fulldisk: %d spells of a full disk; %d problems" % (len(spells), found))
    return found


def campaign_sizelimit(tmp):
    """Title maps grown to the size the readers take (64 MiB): the recorder
    numbers no title past it, says so once, keeps recording the known
    titles, and every reader still reads the maps."""
    limit = 64 << 20
    device = new_device(tmp, "sizelimit")
    os.makedirs(device.store, exist_ok=True)
    title = lambda i: ("%06d" % i) + "\u6f22" * 250  # 256 characters, 756 bytes
    def write_maps(count):
        intmusic = {str(i): title(i) for i in range(count)}
        musicint = {t: n for n, t in intmusic.items()}
        for name, value in [("IntMusicData", intmusic), ("MusicIntData", musicint),
                            ("SaveData", {"MusicNumber": str(count)})]:
            with open(os.path.join(device.store, name + ".plist"), "wb") as f:
                plistlib.dump(value, f, sort_keys=True)
        return os.path.getsize(os.path.join(device.store, "IntMusicData.plist"))

    # As many titles as leave room for about a dozen more.
    count = 1000
    for _ in range(3):  # the numbers lengthen as they grow: estimate again
        per_title = write_maps(count) / count
        count = int(limit / per_title) - 12
    write_maps(count)
    sizes = [os.path.getsize(os.path.join(device.store, n + ".plist"))
             for n in ("IntMusicData", "MusicIntData")]
    say("sizelimit: maps of %d and %d bytes" % tuple(sizes))
    events, t = [], START
    for i in range(40):
        events.append((t, {"title": title(count + i), "album": "A", "artist": "B",
                           "position": 5.0, "playing": True}))
        t += 3
    events.append((t, {"title": title(0), "album": "A", "artist": "B", "position": 5.0,
                       "playing": True}))
    found = 0
    try:
        _, _, err = device.run(START, 180, events, timeout=600)
        after = read_store(device.store)  # plistlib reads every file
        check_settled(after, device.store)
        for name in ("IntMusicData", "MusicIntData"):
            size = os.path.getsize(os.path.join(device.store, name + ".plist"))
            if size > limit:
                raise Failure("%s grew to %d bytes" % (name, size))
        numbered = len(after["IntMusicData"]) - count
        if not 0 < numbered < 40:
            raise Failure("%d new titles numbered" % numbered)
        if err.count("size limit") != 1:
            raise Failure("the limit was told %d times" % err.count("size limit"))
        day = max(after["days"])
        if int(after["days"][day]["MusicTime"].get("0", "0")) < 30:
            raise Failure("the known title stopped being recorded")
        # A restart reads the maps whole: nothing is set aside.
        device.run(START + 200, 5, events[-1:], timeout=600)
        check_settled(read_store(device.store), device.store)
        say("sizelimit: %d new titles numbered before the limit" % numbered)
    except Failure as e:
        found += 1
        say("sizelimit: %s" % e)
    return found


def materialize(ops, cut, target):
    """The store after a power loss once the first cut calls were made: what
    was written but not synced is gone, and so is every name change in a
    folder that was not synced after it."""
    inode = [0]
    data = {}
    vol = {"": {}}  # folder -> {name: ("f", inode) | ("d", folder)}
    dur = {"": {}}

    def split(path):
        head, _, name = path.rpartition("/")
        return head, name

    for line in ops[:cut]:
        kind, *rest = line
        if kind == "create":
            folder, name = split(rest[0])
            inode[0] += 1
            data[inode[0]] = b""
            vol.setdefault(folder, {})[name] = ("f", inode[0])
        elif kind == "fsync":
            folder, name = split(rest[0])
            entry = vol.get(folder, {}).get(name)
            if entry and entry[0] == "f":
                with open(rest[1], "rb") as f:
                    data[entry[1]] = f.read()
        elif kind == "rename":
            ff, fn = split(rest[0])
            tf, tn = split(rest[1])
            entry = vol.get(ff, {}).pop(fn, None)
            if entry:
                vol.setdefault(tf, {})[tn] = entry
        elif kind == "mkdir":
            folder, name = split(rest[0])
            vol.setdefault(folder, {})[name] = ("d", rest[0])
            vol[rest[0]] = {}
            dur.setdefault(rest[0], {})
        elif kind == "unlink":
            folder, name = split(rest[0])
            vol.get(folder, {}).pop(name, None)
        elif kind == "syncdir":
            folder = rest[0] if rest else ""
            dur[folder] = dict(vol.get(folder, {}))

    def build(folder, path):
        os.makedirs(path, exist_ok=True)
        for name, entry in dur.get(folder, {}).items():
            if entry[0] == "f":
                with open(os.path.join(path, name), "wb") as f:
                    f.write(data[entry[1]])
            else:
                build(entry[1], os.path.join(path, name))

    build("", target)


# The recorder makes its replacements durable five at a time.
MOST_SECONDS_LOST = 5


def campaign_powerloss(tmp):
    """Every prefix of a run's file calls, with unsynced data dropped, must
    read back whole and consistent, and the recorder must carry on from it."""
    if args.sanitized:
        say("powerloss: needs the fault shim, skipped in the sanitizer build")
        return 0
    events = timeline(args.seed + 3, 3600 * 3)
    device = new_device(tmp, "power")
    record = os.path.join(tmp, "record")
    os.makedirs(record)
    # From an empty store across midnight: creation, numbering, a new day.
    device.run(START + 1190, 30 * args.scale, events, fault="record:" + record)
    with open(os.path.join(record, "ops")) as f:
        ops = [line.rstrip("\n").split("\t") for line in f if line.strip()]
    ops = [[op[0]] + [p.lstrip("/") if i == 0 or op[0] != "fsync" else p
                      for i, p in enumerate(op[1:])] for op in ops]
    rng = random.Random(args.seed)
    restarts = set(rng.sample(range(len(ops) + 1), min(len(ops) + 1, 12 * args.scale)))
    restarts.add(len(ops))
    # And every cut right after a step between files of the design's write
    # orders: a new folder, a history file replaced.
    for i, op in enumerate(ops):
        if op[0] == "mkdir" or (op[0] == "rename" and "/" not in op[2]):
            restarts.add(i + 1)
    found = 0
    # What a cut can lose: the renames of a day's MusicTime.plist (one a
    # played second) that no sync of their folder has made durable yet.
    most_lost, unsynced = 0, {}
    for op in ops:
        if op[0] == "rename" and op[2].endswith("/MusicTime.plist"):
            folder = op[2].rpartition("/")[0]
            unsynced[folder] = unsynced.get(folder, 0) + 1
        elif op[0] == "syncdir":
            unsynced[op[1] if len(op) > 1 else ""] = 0
        most_lost = max(most_lost, sum(unsynced.values()))
    if most_lost > MOST_SECONDS_LOST:
        found += 1
        say("a power cut could lose %d played seconds (at most %d allowed)" %
            (most_lost, MOST_SECONDS_LOST))
    for cut in range(len(ops) + 1):
        target = os.path.join(tmp, "cut")
        if os.path.exists(target):
            shutil.rmtree(target)
        try:
            store = os.path.join(target, STORE)
            materialize(ops, cut, store)
            after_loss = read_store(store)
            check_any_time(after_loss)
            if cut in restarts:
                shutil.rmtree(device.store)
                shutil.copytree(store, device.store, symlinks=True)
                device.run(START + 1190 + 30 * args.scale, 5, events)
                settled = read_store(device.store)
                check_settled(settled, device.store)
                check_grows(after_loss, settled)
        except Failure as e:
            found += 1
            say("power lost after call %d (%s): %s" % (cut, ops[cut - 1] if cut else "-", e))
    say("powerloss: %d prefixes of %d file calls, %d restarted; at most %d played seconds lost;"
        " %d problems" % (len(ops) + 1, len(ops), len(restarts), most_lost, found))
    return found


def hostile_cases(store):
    day = os.path.join(store, "EverydayData", "2015-03-06")
    laughs = ('<?xml version="1.0"?><!DOCTYPE plist [<!ENTITY a "aaaaaaaaaa">' +
              "".join('<!ENTITY %s "%s">' % (chr(98 + i), ("&%s;" % chr(97 + i)) * 10)
                      for i in range(9)) + ']><plist><dict><key>&j;</key><string>0</string>'
              '</dict></plist>')
    external = ('<?xml version="1.0"?><!DOCTYPE plist [<!ENTITY x SYSTEM "file:///etc/passwd">]>'
                '<plist><dict><key>0</key><string>&x;</string></dict></plist>')
    deep = '<?xml version="1.0"?><plist>' + "<array>" * 100000 + "</array>" * 100000 + "</plist>"

    def write(path, text):
        def do():
            with open(path, "w") as f:
                f.write(text)
        return do

    def huge(path):
        def do():
            with open(path, "wb") as f:
                f.truncate(200 << 20)
        return do

    def replace(path, make):
        def do():
            if os.path.lexists(path):
                os.remove(path)
            make(path)
        return do

    return [
        ("billion laughs", os.path.join(store, "MusicIntData.plist"),
         write(os.path.join(store, "MusicIntData.plist"), laughs)),
        ("external entity", os.path.join(day, "MusicTime.plist"),
         write(os.path.join(day, "MusicTime.plist"), external)),
        ("deep nesting", os.path.join(store, "DateArray.plist"),
         write(os.path.join(store, "DateArray.plist"), deep)),
        ("200 MB", os.path.join(day, "MusicTime.plist"), huge(os.path.join(day, "MusicTime.plist"))),
        ("wrong root type", os.path.join(store, "IntMusicData.plist"),
         write(os.path.join(store, "IntMusicData.plist"),
               '<?xml version="1.0"?><plist><array><string>0</string></array></plist>')),
        ("wrong value types", None,
         write(os.path.join(day, "MusicNumber.plist"),
               '<?xml version="1.0"?><plist><dict><key>0</key><dict/><key>1</key><true/>'
               '</dict></plist>')),
        ("a FIFO", os.path.join(store, "MusicIntData.plist"),
         replace(os.path.join(store, "MusicIntData.plist"), os.mkfifo)),
        ("a FIFO in a day", os.path.join(day, "MusicTime.plist"),
         replace(os.path.join(day, "MusicTime.plist"), os.mkfifo)),
        ("a directory", os.path.join(day, "MusicNumber.plist"),
         replace(os.path.join(day, "MusicNumber.plist"), os.mkdir)),
        ("a symlink to a device", os.path.join(store, "SaveData.plist"),
         replace(os.path.join(store, "SaveData.plist"), lambda p: os.symlink("/dev/zero", p))),
        ("a symlink loop", os.path.join(store, "IntMusicData.plist"),
         replace(os.path.join(store, "IntMusicData.plist"), lambda p: os.symlink(p, p))),
    ]


def campaign_hostile(tmp):
    """Hostile files in the store end in bounded time and memory, are set
    aside, and nothing else is lost."""
    events = [(START, {"title": "Song 1", "album": "A", "artist": "B", "position": 5.0,
                       "playing": True})]
    base = new_device(tmp, "hostile-base")
    base.run(START + 1190, 30, events)  # two days, two titles
    events2 = [(START, {"title": "Song 2", "album": "A", "artist": "B", "position": 5.0,
                        "playing": True})]
    base.run(START + 1220, 10, events2)
    found = 0
    for index in range(len(hostile_cases(base.store))):
        device = clone(tmp, base, "hostile")
        store = device.store
        name, path, make = hostile_cases(store)[index]
        make()
        # Values of other types are kept as they are, not turned into text.
        args.lenient_types = name == "wrong value types"
        try:
            before = read_store_lenient(store)
            began = time.monotonic()
            _, rss, err = device.run(START + 1240, 10, events, timeout=60)
            took = time.monotonic() - began
            if took > 30:
                raise Failure("took %.1f s" % took)
            if not args.sanitized and rss > 400 * 1024:
                raise Failure("used %d MB" % (rss // 1024))
            if path is not None:
                asides = [n for n in os.listdir(os.path.dirname(path))
                          if n.startswith(os.path.basename(path) + ASIDE)]
                if len(asides) != 1:
                    raise Failure("not set aside (%r)" % asides)
                if "set aside as" not in err:
                    raise Failure("no log line names the set-aside file")
                for a in asides:
                    p = os.path.join(os.path.dirname(path), a)
                    os.remove(p) if not os.path.isdir(p) or os.path.islink(p) else os.rmdir(p)
            after = read_store(store)
            check_settled(after, store)
            check_grows(before, after)
        except Failure as e:
            found += 1
            say("hostile %s: %s" % (name, e))
        args.lenient_types = False
    say("hostile: %d hostile files; %d problems" % (len(hostile_cases(base.store)), found))
    return found


def read_store_lenient(store):
    """What the store held before the hostile file: every file that reads."""
    out = {"days": {}}
    for name in HISTORY:
        try:
            out[name] = load(os.path.join(store, name + ".plist"))
        except (Exception, RecursionError):
            pass
    everyday = os.path.join(store, layout.EVERYDAY_DATA)
    for day in sorted(os.listdir(everyday)):
        out["days"][day] = {}
        for name in DAY_FILES:
            try:
                value = load(os.path.join(everyday, day, name + ".plist"))
                if isinstance(value, dict) and all(isinstance(v, str) for v in value.values()):
                    out["days"][day][name] = value
            except Exception:
                pass
    days = out.get("DateArray", [])
    if not isinstance(days, list) or not all(isinstance(d, str) for d in days):
        del out["DateArray"]
    for name in ["IntMusicData", "MusicIntData", "SaveData"]:
        if not isinstance(out.get(name, {}), dict):
            del out[name]
    return out


def main():
    global args
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("installer")
    parser.add_argument("campaign")
    parser.add_argument("--scale", type=int, default=1)
    parser.add_argument("--seed", type=int, default=20150305)
    parser.add_argument("--sanitized", action="store_true")
    args = parser.parse_args()
    args.lenient_types = False
    campaigns = {"kill": campaign_kill, "crashpoints": campaign_crashpoints,
                 "faults": campaign_faults, "powerloss": campaign_powerloss,
                 "hostile": campaign_hostile, "fulldisk": campaign_fulldisk,
                 "sizelimit": campaign_sizelimit}
    names = ([n for n in campaigns if n != "sizelimit"] if args.campaign == "all"
             else [args.campaign])
    found = 0
    for name in names:
        with tempfile.TemporaryDirectory(prefix="corvane-campaign-") as tmp:
            began = time.monotonic()
            found += campaigns[name](tmp)
            say("  (%s took %.0f s)" % (name, time.monotonic() - began))
    sys.exit(1 if found else 0)


if __name__ == "__main__":
    main()
