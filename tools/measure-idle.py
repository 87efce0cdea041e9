#!/usr/bin/env python3
"""The recorder's cost in the background, for each build given (e.g. a build
of main, then this one), in one run: the shell with --players on a private
session bus, first with nothing playing, then with mpv playing, each for a
bounded window; a --feed run's peak memory; and the app and the shell in
windows on an Xvfb display, left alone, then sent SIGTERM.

  measure-idle.py [--seconds N] BUILD_DIR...

Wake-ups are the shell's context switches (voluntary and not) a second, CPU
its user + system time scaled to an hour, RSS its resident memory at the end
of the window (the figure flattens after the first minute: the maps are read
once)."""
import argparse, contextlib, os, shutil, subprocess, sys, tempfile, time

here = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TICK = os.sysconf("SC_CLK_TCK")


def proc(pid):
    fields = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            k, _, v = line.partition(":")
            fields[k] = v.strip()
    with open(f"/proc/{pid}/stat") as f:
        stat = f.read().rsplit(")", 1)[1].split()
    cpu = (int(stat[11]) + int(stat[12])) / TICK
    switches = int(fields["voluntary_ctxt_switches"]) + int(fields["nonvoluntary_ctxt_switches"])
    # Every thread's switches: a thread that wakes costs the same.
    for tid in os.listdir(f"/proc/{pid}/task"):
        if int(tid) == pid:
            continue
        try:
            with open(f"/proc/{pid}/task/{tid}/status") as f:
                for line in f:
                    if line.startswith(("voluntary_ctxt", "nonvoluntary_ctxt")):
                        switches += int(line.split(":")[1])
        except OSError:
            pass
    return cpu, switches, int(fields["VmRSS"].split()[0]) / 1024


def window(pid, seconds):
    cpu0, sw0, _ = proc(pid)
    time.sleep(seconds)
    cpu1, sw1, rss = proc(pid)
    return (sw1 - sw0) / seconds, (cpu1 - cpu0) * 3600 / seconds, rss


def stop(process, bound=5):
    """SIGTERM; the seconds it took to end, or None when it was still running
    after the bound (then it is killed)."""
    started = time.monotonic()
    process.terminate()
    try:
        process.wait(timeout=bound)
        return time.monotonic() - started
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        return None


@contextlib.contextmanager
def device(build, work):
    """A device root laid out from the build and a private session bus:
    the environment the shell runs in."""
    root = os.path.join(work, "root-" + str(abs(hash(build))))
    shutil.rmtree(root, ignore_errors=True)
    subprocess.run(["bash", os.path.join(here, "tools/install-device.sh"), root, build],
                   check=True, stdout=subprocess.DEVNULL)
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                           stdout=subprocess.PIPE, text=True)
    address = bus.stdout.readline().strip()
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "CORVANE_AUTOMATION")}
    env.update(CORVANE_DEVICE_ROOT=root, CORVANE_HEADLESS="1", DBUS_SESSION_BUS_ADDRESS=address)
    try:
        yield env
    finally:
        bus.terminate()
        bus.wait()
        shutil.rmtree(root, ignore_errors=True)


def measure(build, seconds, work):
    out = {}
    with device(build, work) as env:
        shell = subprocess.Popen([os.path.join(build, "bin/SpringBoard"), "--players"], env=env,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            time.sleep(3)  # past the start-up
            out["idle"] = window(shell.pid, seconds)
            track = os.path.join(work, "tone.ogg")
            if not os.path.exists(track):
                subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                "sine=frequency=440:duration=600", "-metadata", "title=Tone",
                                "-metadata", "album=Bench", "-c:a", "libvorbis", track],
                               check=True)
            plugin = next(p for p in ("/usr/lib/mpv-mpris/mpris.so", "/etc/mpv/scripts/mpris.so")
                          if os.path.exists(p))
            mpv = subprocess.Popen(["mpv", "--no-config", "--script=" + plugin, "--no-video",
                                    "--ao=null", "--no-terminal", track], env=env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                time.sleep(3)
                out["playing"] = window(shell.pid, seconds)
            finally:
                mpv.terminate()
                mpv.wait()
        finally:
            out["stopped"] = stop(shell)
        feed = os.path.join(work, "feed.jsonl")
        with open(feed, "w") as f:
            f.write('{"at": 0, "title": "T", "album": "A", "position": 0, "playing": true}\n')
        # Its peak resident memory, from a process whose only child it is.
        peak = subprocess.run(
            [sys.executable, "-c", "import resource, subprocess, sys; "
             "subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL); "
             "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)",
             os.path.join(build, "bin/SpringBoard"), "--feed", feed, "--virtual", "--for", "600"],
            env=env, capture_output=True, text=True, check=True).stdout
        out["feed"] = int(peak) / 1024
    return out


def windowed(build, seconds, work):
    """In windows on an Xvfb display nobody touches: the app, and the shell
    following the bus's players with nothing playing. Each: wake-ups a
    second, CPU s/hour, RSS, and how long SIGTERM took to end it."""
    if not shutil.which("Xvfb"):
        return None
    r, w = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "800x600x24",
                             "-nolisten", "tcp"],
                            pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(w)
    with os.fdopen(r) as f:
        display = ":" + f.readline().strip()
    out = {}
    try:
        with device(build, work) as env:
            del env["CORVANE_HEADLESS"]
            env.update(DISPLAY=display, SDL_VIDEODRIVER="x11")
            for name, argv in (("app", [os.path.join(build, "bin/Corvane")]),
                               ("shell", [os.path.join(build, "bin/SpringBoard"), "--players"])):
                process = subprocess.Popen(argv, env=env, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL)
                try:
                    time.sleep(3)  # past the start-up and the first frames
                    out[name] = window(process.pid, seconds)
                finally:
                    out[name] += (stop(process),)
    finally:
        xvfb.terminate()
        xvfb.wait()
    return out


def ended(took):
    return f"ended {took:.2f} s after SIGTERM" if took is not None else \
        "still running 5 s after SIGTERM (killed)"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--seconds", type=float, default=20)
    parser.add_argument("builds", nargs="+")
    args = parser.parse_args()
    for tool in ("dbus-daemon", "mpv", "ffmpeg"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is needed")
    with tempfile.TemporaryDirectory() as work:
        for build in args.builds:
            res = measure(os.path.abspath(build), args.seconds, work)
            iw, ic, ir = res["idle"]
            pw, pc, pr = res["playing"]
            feed = f"{res['feed']:.1f} MB"
            print(f"{build}:\n  nothing playing: {iw:.1f} wake-ups/s, {ic:.2f} CPU s/hour, "
                  f"RSS {ir:.1f} MB\n  playing:         {pw:.1f} wake-ups/s, {pc:.2f} CPU s/hour, "
                  f"RSS {pr:.1f} MB\n  --feed run peak RSS: {feed}\n  {ended(res['stopped'])}",
                  flush=True)
            for name, (w, c, r, took) in (windowed(os.path.abspath(build), args.seconds,
                                                   work) or {}).items():
                print(f"  {name} in a window (Xvfb), idle: {w:.1f} wake-ups/s, {c:.2f} CPU s/hour, "
                      f"RSS {r:.1f} MB; {ended(took)}", flush=True)


if __name__ == "__main__":
    main()
