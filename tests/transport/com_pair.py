#!/usr/bin/env python3
"""A null-modem cable between two COM ports of a Wine prefix, for the serial tests under Wine.

    com_pair.py start PREFIX A B C   links PREFIX/dosdevices/comA and comB to two pseudo-terminals
                                     and copies bytes between them in a process of its own; a byte
                                     written to comC hangs comB up (its terminal closes, and a new
                                     one takes the name, as an adapter plugged in again would)
    com_pair.py stop PREFIX          ends that process and removes the links

A pseudo-terminal is always 8N1: the tests use no parity on it.
"""
import os
import pty
import select
import signal
import sys
import time
import tty


def pid_file(prefix):
    return os.path.join(prefix, "com_pair.pid")


def link(prefix, number, path):
    name = os.path.join(prefix, "dosdevices", "com%d" % number)
    temporary = name + ".new"
    if os.path.lexists(temporary):
        os.unlink(temporary)
    os.symlink(path, temporary)
    os.replace(temporary, name)
    return name


class Terminal:
    def __init__(self, prefix, number):
        self.master, self.slave = pty.openpty()
        tty.setraw(self.slave)
        # The slave stays open here too, so the master never reads a hang-up between two openings.
        self.link = link(prefix, number, os.ttyname(self.slave))

    def close(self):
        os.close(self.master)
        os.close(self.slave)


def copy(source, destination):
    try:
        data = os.read(source, 4096)
    except OSError:
        return
    while data:
        try:
            written = os.write(destination, data)
        except BlockingIOError:
            select.select([], [destination], [], 1)
            continue
        except OSError:
            return
        data = data[written:]


def serve(prefix, a, b, c):
    ends = {"a": Terminal(prefix, a), "b": Terminal(prefix, b), "c": Terminal(prefix, c)}
    with open(pid_file(prefix) + ".new", "w") as out:
        out.write("%d\n" % os.getpid())
    os.replace(pid_file(prefix) + ".new", pid_file(prefix))
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    try:
        while True:
            ready, _, _ = select.select([t.master for t in ends.values()], [], [])
            if ends["a"].master in ready:
                copy(ends["a"].master, ends["b"].master)
            if ends["b"].master in ready:
                copy(ends["b"].master, ends["a"].master)
            if ends["c"].master in ready:
                try:
                    os.read(ends["c"].master, 4096)
                except OSError:
                    pass
                ends["b"].close()
                ends["b"] = Terminal(prefix, b)
    finally:
        for terminal in ends.values():
            if os.path.lexists(terminal.link):
                os.unlink(terminal.link)


def stop(prefix):
    try:
        with open(pid_file(prefix)) as source:
            pid = int(source.read())
    except (OSError, ValueError):
        return
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        pass
    for _ in range(100):
        try:
            os.kill(pid, 0)
        except ProcessLookupError:
            break
        time.sleep(0.05)
    os.unlink(pid_file(prefix))


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "stop":
        stop(sys.argv[2])
        return 0
    if len(sys.argv) != 6 or sys.argv[1] != "start":
        print(__doc__, file=sys.stderr)
        return 2
    prefix = sys.argv[2]
    a, b, c = (int(n) for n in sys.argv[3:6])
    stop(prefix)
    os.makedirs(os.path.join(prefix, "dosdevices"), exist_ok=True)
    if os.fork() == 0:
        # Detached: CTest must not wait for this process's output.
        os.setsid()
        null = os.open(os.devnull, os.O_RDWR)
        for fd in (0, 1, 2):
            os.dup2(null, fd)
        try:
            serve(prefix, a, b, c)
        finally:
            os._exit(0)
    for _ in range(200):
        if os.path.exists(pid_file(prefix)):
            return 0
        time.sleep(0.05)
    print("the COM pair did not start", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
