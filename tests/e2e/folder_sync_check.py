#!/usr/bin/env python3
"""A file renamed into place is durable only once its folder is on the disk too: kv218 read
--out and the settings file saved at its end are each renamed into place once, and then
their folder is opened and synced. Seen in the system calls kv218 makes (strace)."""

import os
import re
import subprocess
import sys
import tempfile


def main(kv218, strace):
    with tempfile.TemporaryDirectory(prefix="kv218-sync-") as folder:
        settings = os.path.join(folder, "kv218tool.INI")
        out = os.path.join(folder, "read.hex")
        trace = os.path.join(folder, "trace.txt")
        # LeakSanitizer cannot work under ptrace: a sanitizer build is traced without it.
        env = dict(os.environ)
        env["ASAN_OPTIONS"] = (env.get("ASAN_OPTIONS", "") + ":detect_leaks=0").lstrip(":")
        run = subprocess.run(
            [strace, "-f", "-qq", "-o", trace, "-e",
             "trace=openat,open,rename,renameat,renameat2,fsync,fdatasync",
             kv218, "--settings", settings, "read", "--simulate", "--sim-baud", "max",
             "--type", "1", "--out", out],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, check=False, env=env)
        if run.returncode != 0:
            print(run.stderr)
            return f"kv218 read exited with {run.returncode}"
        with open(trace, encoding="utf-8", errors="replace") as f:
            calls = [line.rstrip("\n") for line in f]
    failures = []
    for target in (out, settings):
        renames = [i for i, c in enumerate(calls)
                   if re.search(r"rename\w*\(.*\"" + re.escape(target) + r"\".*\)\s+= 0$", c)]
        if len(renames) != 1:
            failures.append(f"{target}: renamed into place {len(renames)} times, not once")
            continue
        at = renames[0]
        pid = calls[at].split()[0]
        opened = None
        for c in calls[at + 1:]:
            if not c.startswith(pid + " "):
                continue
            m = re.search(r"open\w*\(.*\"" + re.escape(folder) + r"\", O_RDONLY[^)]*O_DIRECTORY.*\)\s+= (\d+)$", c)
            if m and opened is None:
                opened = m.group(1)
            elif opened is not None and re.search(r"fsync\(" + opened + r"\)\s+= 0$", c):
                break
        else:
            failures.append(f"{target}: its folder was not synced after the rename")
    return "\n".join(failures) or None


if __name__ == "__main__":
    problem = main(sys.argv[1], sys.argv[2])
    if problem:
        print(problem)
        sys.exit(1)
    print("renamed once each, folder synced after each")
