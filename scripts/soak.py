#!/usr/bin/env python3
"""Soak runs of relvane-run against a relay played here: on a pseudo-terminal (serial) or on
loopback TCP. Each scenario prints what it sent, what the log shows, the runner's peak memory and
its open descriptors. Loopback only: nothing leaves 127.0.0.1.

    scripts/soak.py RUNNER SCENARIO [N]

Scenarios: poll103 SECONDS | chunks94 COUNT | tcpflood MEGABYTES | vanish CYCLES | unplug
"""
import os
import pty
import resource
import select
import socket
import subprocess
import sys
import tempfile
import threading
import time
import tty


def crc16(data):
    crc = 0
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return bytes([crc & 0xFF, crc >> 8])


class Run:
    """relvane-run on a script, its standard output read and counted line by line."""

    def __init__(self, runner, script, com_target=None):
        self.dir = tempfile.mkdtemp(prefix="relvane-soak-")
        os.makedirs(os.path.join(self.dir, "relvane", "ports"))
        if com_target:
            os.symlink(com_target, os.path.join(self.dir, "relvane", "ports", "COM5"))
        path = os.path.join(self.dir, "script.txt")
        with open(path, "w") as f:
            f.write(script)
        env = dict(os.environ, XDG_CONFIG_HOME=self.dir, QT_QPA_PLATFORM="offscreen")
        self.log = os.path.join(self.dir, "log.txt")
        self.proc = subprocess.Popen([runner, "--log", self.log, path], stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, env=env)
        self.lines = {}
        self.tcp_bytes = 0
        self.rx_bytes = 0
        self.stderr = b""
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        pending = b""
        for chunk in iter(lambda: self.proc.stdout.read1(65536), b""):
            pending += chunk
            *done, pending = pending.split(b"\r\n")
            for line in done:
                text = line.decode("utf-8", "replace")
                head = text.split(":")[0] if ":" in text else text
                self.lines[head] = self.lines.get(head, 0) + 1
                if text.startswith("TCP接收: "):
                    self.tcp_bytes += len(text[len("TCP接收: "):]) // 3
                elif text.startswith("接收: "):
                    self.rx_bytes += len(text[len("接收: "):]) // 3

    def wait_for(self, head, count, seconds):
        deadline = time.time() + seconds
        while self.lines.get(head, 0) < count and time.time() < deadline:
            time.sleep(0.002)
        return self.lines.get(head, 0) >= count

    def fds(self):
        return len(os.listdir(f"/proc/{self.proc.pid}/fd"))

    def finish(self):
        self.stderr = self.proc.stderr.read()
        status = self.proc.wait()
        report.run = self
        self.reader.join()
        usage = resource.getrusage(resource.RUSAGE_CHILDREN)
        self.cpu_seconds = round(usage.ru_utime + usage.ru_stime, 1)
        return status, usage.ru_maxrss, os.path.getsize(self.log)


def relay_pty():
    master, slave = pty.openpty()
    tty.setraw(master)
    # The slave stays open here as well: a master without any open slave reads as an error.
    relay_pty.slaves.append(slave)
    return master, os.ttyname(slave)


relay_pty.slaves = []


def report(title, **figures):
    print(title)
    run = getattr(report, "run", None)
    figures["runner_cpu_seconds"] = run.cpu_seconds if run else "?"
    for key, value in figures.items():
        print(f"  {key}: {value}")


def poll103(runner, seconds):
    """103 polling at full speed (interval 0): every class-2 request gets an answer at once."""
    master, name = relay_pty()
    script = (f"command 32772\nset port COM5\nset interval 0\ncommand 32777\ncommand 32869\n"
              f"command 32842\nwait {seconds * 1000}\n")
    run = Run(runner, script, name)
    answer = bytes.fromhex("1009010A16")  # no data available, ACD 0
    answered = 0
    deadline = time.time() + seconds + 5
    while run.proc.poll() is None and time.time() < deadline:
        if select.select([master], [], [], 0.2)[0]:
            try:
                data = os.read(master, 4096)
            except OSError:
                break
            for _ in range(data.count(b"\x16")):
                os.write(master, answer)
                answered += 1
    status, peak_kb, size = run.finish()
    os.close(master)
    report("poll103", seconds=seconds, answers_sent=answered, sent_entries=run.lines.get("发送", 0),
           received_entries=run.lines.get("接收", 0), timeouts=run.lines.get("超时", 0),
           exchanges_per_second=round(run.lines.get("接收", 0) / seconds), exit=status,
           peak_rss_mb=round(peak_kb / 1024, 1), log_kb=round(size / 1024))


def chunks94(runner, count):
    """Unasked '94 answers every 35 ms (beyond the 30 ms gap): each must be one log entry."""
    master, name = relay_pty()
    frame = bytes([0x01, 0xB0, 0x00])
    frame += crc16(frame)
    seconds = count * 0.035 + 3
    run = Run(runner, f"set port COM5\nset limit off 0\ncommand 32816\ncommand 32777\n"
                      f"wait {int(seconds * 1000)}\n", name)
    time.sleep(1.5)  # the port is open by then
    start = time.time()
    for i in range(count):
        os.write(master, frame)
        time.sleep(max(0.0, start + (i + 1) * 0.035 - time.time()))
    status, peak_kb, size = run.finish()
    os.close(master)
    report("chunks94", chunks_sent=count, bytes_sent=count * len(frame), bytes_logged=run.rx_bytes,
           received_entries=run.lines.get("接收", 0),
           crc_errors=run.lines.get("CRC错", 0), exit=status, peak_rss_mb=round(peak_kb / 1024, 1))


def eth_script(port, seconds):
    return (f"command 32773\nset ip 127.0.0.1 1032 {port}\ncommand 32870\nwait {seconds * 1000}\n")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def connect(port):
    deadline = time.time() + 10
    while True:
        try:
            return socket.create_connection(("127.0.0.1", port))
        except OSError:
            if time.time() > deadline:
                raise
            time.sleep(0.1)


def tcpflood(runner, megabytes):
    """A relay floods the TCP connection; every byte must reach the log once."""
    port = free_port()
    run = Run(runner, eth_script(port, 600))
    total = megabytes * 2**20
    with connect(port) as sock:
        block = bytes(range(256)) * 256
        sent = 0
        start = time.time()
        while sent < total:
            sock.sendall(block[: min(len(block), total - sent)])
            sent += min(len(block), total - sent)
        while run.tcp_bytes < total and time.time() < start + 600:
            time.sleep(0.2)
        elapsed = time.time() - start
    run.proc.terminate()
    status, peak_kb, size = run.finish()
    report("tcpflood", bytes_sent=total, bytes_logged=run.tcp_bytes, seconds=round(elapsed, 1),
           exit=status, peak_rss_mb=round(peak_kb / 1024, 1))


def vanish(runner, cycles):
    """A relay that connects and vanishes, over and over. One listening serves one connection, so
    the script starts the listener again every 200 ms: every connection must be logged, and the
    runner must keep no descriptor of the ones gone."""
    port = free_port()
    script = f"command 32773\nset ip 127.0.0.1 1032 {port}\n" + "command 32870\nwait 200\n" * cycles + "wait 5000\n"
    run = Run(runner, script)
    connected = 0
    fds_first = None
    for cycle in range(1, cycles + 1):
        # Connect while this cycle's listener is up, and go before the next one starts.
        if not run.wait_for("TCP开始侦听", cycle, 5):
            break
        with socket.create_connection(("127.0.0.1", port)) as sock:
            sock.sendall(b"\x10\x49\x01\x4A\x16")
        connected += 1
        run.wait_for("TCP连接断开", cycle, 5)
        if fds_first is None:
            fds_first = run.fds()
    time.sleep(0.5)
    fds_last = run.fds() if run.proc.poll() is None else "ended"
    status, peak_kb, size = run.finish()
    report("vanish", cycles=cycles, connections=connected, connected_entries=run.lines.get("TCP连接建立", 0),
           disconnected_entries=run.lines.get("TCP连接断开", 0), fds_after_first=fds_first, fds_at_end=fds_last,
           exit=status, peak_rss_mb=round(peak_kb / 1024, 1))


def unplug(runner):
    """A relay that answers, falls silent, and then disappears with its device."""
    master, name = relay_pty()
    run = Run(runner, "set port COM5\nset timeout 300\ncommand 32777\ncommand 32792\nwait 6000\n", name)
    frame = bytes([0x01, 0xB0, 0x00])
    frame += crc16(frame)
    answers = 0
    start = time.time()
    while time.time() < start + 2:
        if select.select([master], [], [], 0.1)[0] and os.read(master, 4096):
            os.write(master, frame)
            answers += 1
    time.sleep(2)  # silent
    os.close(master)  # gone
    status, peak_kb, size = run.finish()
    report("unplug", answers=answers, received_entries=run.lines.get("接收", 0), timeouts=run.lines.get("超时", 0),
           lost_notices=run.stderr.decode().count("message: 串口已断开"), exit=status)


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    runner, scenario = sys.argv[1], sys.argv[2]
    n = int(sys.argv[3]) if len(sys.argv) > 3 else None
    if scenario == "unplug":
        unplug(runner)
    else:
        {"poll103": poll103, "chunks94": chunks94, "tcpflood": tcpflood, "vanish": vanish}[scenario](runner, n)


if __name__ == "__main__":
    main()
