#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Benchmark, not a test: whole-process runs of `corvale-cli backup` against the commands a user
would reach for, on generated trees, side by side and alternating, medians of N runs.

  benchmarks/bench_backup.py [--runs N] [--work FOLDER] [--build FOLDER]
                             [--only zip,7z,small,scan,window] [--no-build] [--no-verify]

Trees (made once per work folder, deterministically, reused while their marker file exists):
  mixed   2,098 text-like files of 80 MiB in total and 10 random files of 40 MiB in total
  small   100,000 small text files in 100 folders

Pairs:
  zip     corvale-cli backup (ZIP, "Normal")   vs  zip -q -r -5           (mixed tree)
  7z      corvale-cli backup (7z, "Normal")    vs  7z a -mx=5 -ms=off     (mixed tree)
  small   corvale-cli backup (ZIP, "Normal")   vs  zip -q -r -5           (small tree)
  scan    bench_scan (the backup's search)     vs  find -type f           (small tree, warm cache)
  window  the tray program's "Backup" with the progress window shown (offscreen), as bench_window
          runs it, vs corvale-cli backup, on each of the three profiles: the cost of being watched
          (the wall times, and the processor time the window's thread spent dispatching events,
          which is not subject to the run-to-run noise), and the longest the event loop waited
          (a timer due every 10 ms)

Peak memory is the kernel's peak RSS; private memory is the peak of the anonymous memory (sampled
every 10 ms), which leaves out the shared library pages a Qt program maps (some 16 MiB).

To see a single compression thread, run it under `taskset -c 0`: the ZIP writer starts one
worker per processor it may use.

Each run is a process of its own; wall time from the clock, CPU time and peak memory from the
child's rusage (wait4). The profile lives in a throw-away HOME, imported with `corvale-cli import`.
"""

import argparse
import os
import re
import random
import shutil
import statistics
import subprocess
import sys
import threading
import time

MIB = 1 << 20
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PROGRAM_KEY = "HKEY_CURRENT_USER\\Software\\Quenfield\\Orvel"

WORDS = (
    "backup archive folder profile the of and to in is that for it with as was on be at by this had not are but "
    "from or have an they which one you were her all she there would their we him been has when who will more no "
    "if out so said what up its about into than them can only other new some could time these two may then do "
    "first any my now such like our over man me even most made after also did many before must through back "
    "years where much your way well down should because each just those people how too little state good very "
    "make world still own see men work long get here between both life being under never day same another know "
    "while last might us great old year off come since against go came right used take three invoice meeting "
    "schedule report quarterly summary customer delivery account balance project deadline attached review"
).split()


def log(text):
    print(text, flush=True)


# --- trees -------------------------------------------------------------------------------------


def text_pool(rng, size):
    """Made-up prose with numbers and punctuation: deflates to about a third, like documents do."""
    parts = []
    total = 0
    while total < size:
        line = []
        for _ in range(rng.randint(6, 16)):
            word = rng.choice(WORDS)
            roll = rng.random()
            if roll < 0.08:
                word = str(rng.randint(0, 99999))
            elif roll < 0.12:
                word = word.capitalize()
            line.append(word)
        text = " ".join(line) + rng.choice((".", ",", ";", ":", "")) + "\n"
        parts.append(text)
        total += len(text)
    return "".join(parts).encode()[:size]


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def make_mixed(tree):
    marker = tree + ".done"
    if os.path.exists(marker):
        return
    shutil.rmtree(tree, ignore_errors=True)
    rng = random.Random(20261210)
    pool = text_pool(rng, 12 * MIB)
    # 2,098 sizes from a long-tailed distribution, scaled to 80 MiB in total.
    count, total = 2098, 80 * MIB
    weights = [rng.lognormvariate(0, 1.3) for _ in range(count)]
    scale = total / sum(weights)
    sizes = [max(1, int(w * scale)) for w in weights]
    sizes[-1] += total - sum(sizes)
    for i, size in enumerate(sizes):
        folder = os.path.join(tree, "docs%02d" % (i % 40), "sub%d" % (i % 7))
        os.makedirs(folder, exist_ok=True)
        start = rng.randrange(0, len(pool) - min(size, len(pool) - 1))
        data = pool[start:start + size]
        while len(data) < size:
            data += pool[: size - len(data)]
        write(os.path.join(folder, "file%04d.txt" % i), data)
    noise = random.Random(7)
    os.makedirs(os.path.join(tree, "media"), exist_ok=True)
    for i in range(10):
        write(os.path.join(tree, "media", "random%02d.bin" % i), noise.randbytes(4 * MIB))
    write(marker, b"")


def make_small(tree):
    marker = tree + ".done"
    if os.path.exists(marker):
        return
    shutil.rmtree(tree, ignore_errors=True)
    rng = random.Random(100000)
    pool = text_pool(rng, 4 * MIB)
    for d in range(100):
        folder = os.path.join(tree, "d%03d" % d)
        os.makedirs(folder)
        for i in range(1000):
            size = rng.randint(16, 1024)
            start = rng.randrange(0, len(pool) - size)
            write(os.path.join(folder, "f%04d.txt" % i), pool[start:start + size])
    write(marker, b"")


# --- runs --------------------------------------------------------------------------------------


class Result:
    def __init__(self, wall, cpu, sys_cpu, rss_kib, private_kib, status, output=""):
        self.wall, self.cpu, self.sys, self.rss, self.private = wall, cpu, sys_cpu, rss_kib, private_kib
        self.status, self.output = status, output


def private_kib(pid):
    """The process's anonymous memory now: what it allocated, without the shared library pages
    that peak RSS also counts (a Qt program maps some 16 MiB of them)."""
    try:
        with open("/proc/%d/smaps_rollup" % pid) as f:
            for line in f:
                if line.startswith("Anonymous:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def run(argv, env=None, cwd=None, quiet=True, capture=False):
    start = time.monotonic()
    out = subprocess.PIPE if capture else subprocess.DEVNULL if quiet else None
    process = subprocess.Popen(argv, env=env, cwd=cwd, stdin=subprocess.DEVNULL, stdout=out,
                               stderr=subprocess.DEVNULL if quiet or capture else None)
    output = []
    if capture:
        reader = threading.Thread(target=lambda: output.append(process.stdout.read().decode(errors="replace")))
        reader.start()
    # Private memory is sampled every 10 ms; the peak RSS comes from the kernel.
    peak_private = 0
    while True:
        pid, status, usage = os.wait4(process.pid, os.WNOHANG)
        if pid:
            break
        peak_private = max(peak_private, private_kib(process.pid))
        time.sleep(0.01)
    wall = time.monotonic() - start
    if capture:
        reader.join()
    process.returncode = os.waitstatus_to_exitcode(status)
    return Result(wall, usage.ru_utime + usage.ru_stime, usage.ru_stime, usage.ru_maxrss, peak_private,
                  process.returncode, "".join(output))


def median(results, attribute):
    return statistics.median(getattr(r, attribute) for r in results)


def remove(path):
    for name in (path, path + ".001"):
        try:
            os.unlink(name)
        except FileNotFoundError:
            pass


def size_of(path):
    """The archive's size; a 7z archive written as one volume is named "<name>.001"."""
    for name in (path, path + ".001"):
        try:
            return os.stat(name).st_size
        except FileNotFoundError:
            pass
    return 0


def compare(title, ours, theirs, runs, ours_output=None, theirs_output=None):
    """Runs the two commands alternately; each is a (label, argv, env, cwd, prepare) tuple."""
    log("\n== %s (median of %d, alternating)" % (title, runs))
    results = {ours[0]: [], theirs[0]: []}
    for i in range(runs):
        order = (ours, theirs) if i % 2 == 0 else (theirs, ours)
        for label, argv, env, cwd, prepare in order:
            if prepare:
                prepare()
            result = run(argv, env, cwd)
            if result.status != 0:
                log("   %s exited with %d: %s" % (label, result.status, " ".join(argv)))
            results[label].append(result)
    log("   %-34s %8s %8s %8s %10s %12s %12s" % ("", "wall s", "CPU s", "sys s", "peak MiB", "private MiB",
                                                 "output MiB"))
    for (label, _, _, _, _), output in ((ours, ours_output), (theirs, theirs_output)):
        rs = results[label]
        log("   %-34s %8.2f %8.2f %8.2f %10.1f %12.1f %12s" % (
            label, median(rs, "wall"), median(rs, "cpu"), median(rs, "sys"), median(rs, "rss") / 1024,
            median(rs, "private") / 1024, "%.2f" % (size_of(output) / MIB) if output else "-"))
    a, b = results[ours[0]], results[theirs[0]]
    log("   ratio ours/theirs: wall %.2f, CPU %.2f, peak memory %.2f, private memory %.2f" % (
        median(a, "wall") / median(b, "wall"), median(a, "cpu") / median(b, "cpu"), median(a, "rss") / median(b, "rss"),
        median(a, "private") / max(1, median(b, "private"))))
    log("   walls: ours %s; theirs %s" % (" ".join("%.2f" % r.wall for r in a), " ".join("%.2f" % r.wall for r in b)))


def watched(cli, window, env, work, profile, archive, runs):
    """The tray program's run of one profile against the terminal program's, alternating."""
    log("\n== Watched: %s in the tray program vs corvale-cli (median of %d, alternating)" % (profile, runs))
    lines = ["Windows Registry Editor Version 5.00", ""]
    for name in ("MixedZip", "Mixed7z", "SmallZip"):
        lines += ["[%s\\%s]" % (PROGRAM_KEY, name), '"Enabled"=dword:%08x' % (name == profile), ""]
    reg = os.path.join(work, "enabled.reg")
    write(reg, "\n".join(lines).encode())
    subprocess.run([cli, "import", reg], env=env, check=True, stdout=subprocess.DEVNULL)
    shown, plain, delays, shares = [], [], [], []
    for _ in range(runs):
        remove(archive)
        result = run([window], env, capture=True)
        match = re.search(r"wall ([0-9.]+) s.*largest ([0-9.]+) ms", result.output)
        if result.status != 0 or not match:
            log("   bench_window failed (%d): %s" % (result.status, result.output.strip()))
            return
        # The run alone, from the click to its end: the program's start-up is not the run's cost.
        result.wall = float(match.group(1))
        shown.append(result)
        delays.append(float(match.group(2)))
        share = re.search(r"dispatching events \(([0-9.]+)% of the run\)", result.output)
        shares.append(float(share.group(1)) if share else float("nan"))
        remove(archive)
        plain.append(run([cli, "backup", profile], env))
    a, b = median(shown, "wall"), median(plain, "wall")
    log("   tray program's run %.2f s, corvale-cli %.2f s (whole process): %+.1f%%; longest wait of the "
        "event loop %.0f ms (largest of %d runs)" % (a, b, (a / b - 1) * 100, max(delays), runs))
    log("   the window's thread dispatching events: %.2f%% of the run (median; largest %.2f%%)"
        % (statistics.median(shares), max(shares)))


def reg_string(value):
    return '"%s"' % value.replace("\\", "\\\\").replace('"', '\\"')


def make_home(work, cli, profiles, verify):
    """A throw-away HOME holding the given profiles: (name, zip type, archive, folder)."""
    home = os.path.join(work, "home")
    shutil.rmtree(home, ignore_errors=True)
    os.makedirs(os.path.join(home, "run"), mode=0o700)
    env = {k: v for k, v in os.environ.items() if not k.startswith("XDG_")}
    env.update(HOME=home, XDG_RUNTIME_DIR=os.path.join(home, "run"), LC_ALL="C.UTF-8", QT_QPA_PLATFORM="offscreen")
    lines = ["Windows Registry Editor Version 5.00", ""]
    if not verify:
        lines += ["[%s]" % PROGRAM_KEY, '"VerifyArchives"=dword:00000000', ""]
    for name, zip_type, archive, folder in profiles:
        key = PROGRAM_KEY + "\\" + name
        lines += ["[%s]" % key, '"Enabled"=dword:00000001', '"ZipFile"=%s' % reg_string(archive),
                  '"ZipType"=dword:%08x' % zip_type, '"CompressionLevel"=dword:00000002', "",
                  "[%s\\Files\\0]" % key, '"folder"=%s' % reg_string(folder.rstrip("/") + "/"),
                  '"filemask"="*.*"', '"recursive"=dword:00000001', ""]
    reg = os.path.join(work, "profiles.reg")
    write(reg, "\n".join(lines).encode())
    result = subprocess.run([cli, "import", reg], env=env, capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit("import failed: " + result.stderr)
    return env


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--work", default=os.path.join(os.environ.get("TMPDIR", "/tmp"), "corvale-bench"))
    parser.add_argument("--build", default=os.environ.get("CORVALE_BUILD_DIR", os.path.join(ROOT, "build")))
    parser.add_argument("--only", default="zip,7z,small,scan,window")
    parser.add_argument("--no-build", action="store_true", help="use the binaries as they are")
    parser.add_argument("--no-verify", action="store_true",
                        help="turn the read-back of each archive off, as the reference commands do not do it")
    args = parser.parse_args()
    wanted = set(args.only.split(","))

    build = os.path.abspath(args.build)
    if not args.no_build:
        subprocess.run(["cmake", "--build", build, "-j2", "--target", "corvale-cli", "bench_scan", "bench_window"], check=True,
                       stdout=subprocess.DEVNULL)
    cli = os.path.join(build, "app", "corvale-cli")
    scan = os.path.join(build, "benchmarks", "bench_scan")
    window = os.path.join(build, "benchmarks", "bench_window")
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    out = os.path.join(work, "out")
    os.makedirs(out, exist_ok=True)

    mixed, small = os.path.join(work, "mixed"), os.path.join(work, "small")
    log("Generating trees in %s (once)..." % work)
    if wanted & {"zip", "7z", "window"}:
        make_mixed(mixed)
    if wanted & {"small", "scan", "window"}:
        make_small(small)

    ours_zip, ours_7z, ours_small = (os.path.join(out, n) for n in ("ours.zip", "ours.7z", "ours-small.zip"))
    ref_zip, ref_7z, ref_small = (os.path.join(out, n) for n in ("ref.zip", "ref.7z", "ref-small.zip"))
    env = make_home(work, cli, [("MixedZip", 0, ours_zip, mixed), ("Mixed7z", 1, ours_7z, mixed),
                                ("SmallZip", 0, ours_small, small)], not args.no_verify)
    log("corvale: %s; machine: %d cores, load %.2f" % (cli, os.cpu_count(), os.getloadavg()[0]))

    if "zip" in wanted:
        compare("ZIP, Normal (level 5), mixed tree",
                ("corvale-cli backup MixedZip", [cli, "backup", "MixedZip"], env, None, lambda: remove(ours_zip)),
                ("zip -q -r -5", ["zip", "-q", "-r", "-5", ref_zip, "mixed"], None, work, lambda: remove(ref_zip)),
                args.runs, ours_zip, ref_zip)
    if "7z" in wanted:
        compare("7z, Normal (x5, LZMA2, not solid), mixed tree",
                ("corvale-cli backup Mixed7z", [cli, "backup", "Mixed7z"], env, None, lambda: remove(ours_7z)),
                ("7z a -mx=5 -ms=off", ["7z", "a", "-mx=5", "-ms=off", ref_7z, "mixed"], None, work,
                 lambda: remove(ref_7z)),
                args.runs, ours_7z, ref_7z)
    if "small" in wanted:
        compare("ZIP, Normal (level 5), 100,000 small files",
                ("corvale-cli backup SmallZip", [cli, "backup", "SmallZip"], env, None, lambda: remove(ours_small)),
                ("zip -q -r -5", ["zip", "-q", "-r", "-5", ref_small, "small"], None, work,
                 lambda: remove(ref_small)),
                args.runs, ours_small, ref_small)
    if "scan" in wanted:
        run(["find", small, "-type", "f"])  # warm the cache
        compare("Scan of 100,000 files (warm cache)",
                ("bench_scan (the backup's search)", [scan, small], None, None, None),
                ("find -type f", ["find", small, "-type", "f"], None, None, None),
                # A tenth of a second each: more runs, so one scheduling hiccup does not decide.
                max(args.runs, 11))
    if "window" in wanted:
        for name, archive in (("MixedZip", ours_zip), ("Mixed7z", ours_7z), ("SmallZip", ours_small)):
            watched(cli, window, env, work, name, archive, args.runs)


if __name__ == "__main__":
    main()
