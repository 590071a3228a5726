#!/usr/bin/env python3
"""Figures of `quarn watch` against the virtual reader program and a mosquitto of its own on 127.0.0.1.

  paced    the reader paces its bytes at 115200 baud for SECONDS: reads the reader sent against reads a
           subscriber received, the watch's CPU as a share of one core, and the time from a report's
           arrival (the watch's timestamp) to its delivery at a subscriber on the same machine
  replug   the reader unplugged and plugged back in CYCLES times: every cycle recovered, and the time
           from the port's return to the first read after it
  broker   the broker stopped for 10 s and started again: the reads of that window delivered afterwards
  soak     the watch left to run for MINUTES with tags coming and going, the reader unplugged every
           5 minutes and the broker stopped for 10 s every 20: every read it took reached a subscriber,
           every unplug recovered, and its memory stayed flat

Usage: python3 bench/watch_figures.py [--build build/linux]
           [paced [SECONDS] | replug [CYCLES] | broker | soak [MINUTES]]...
(no figure named: all three). Needs quarn and quarn-sim built, mosquitto and mosquitto-clients. These are
benchmarks, not tests: they print figures and say when one falls short of its goal, exit status 1 then.
"""

import json
import os
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time

TICKS = os.sysconf("SC_CLK_TCK")
MOSQUITTO = shutil.which("mosquitto") or "/usr/sbin/mosquitto"
WIRE_REPORT = "<- 0x10 StartInventory"  # a report (and the start's acknowledgement) in the reader's trace


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(condition, limit, what):
    deadline = time.monotonic() + limit
    while not condition():
        if time.monotonic() > deadline:
            raise SystemExit(f"{what} did not happen within {limit} s")
        time.sleep(0.02)


def iso_seconds(text):
    """'2026-12-08T10:15:30.123Z' as seconds since the epoch."""
    seconds = time.mktime(time.strptime(text[:19], "%Y-%m-%dT%H:%M:%S")) - time.timezone
    return seconds + int(text[20:23]) / 1000.0


def percentile(samples, share):
    ordered = sorted(samples)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime and stime


class Run:
    """A folder and the processes of one figure, all ended when it is done."""

    def __init__(self, build):
        self.build = build
        self.dir = tempfile.mkdtemp(prefix="quarn-watch-figures-")
        self.processes = []
        self.broker = None

    def start(self, argv, name, **kwargs):
        out = open(os.path.join(self.dir, name + ".out"), "w")
        err = open(os.path.join(self.dir, name + ".err"), "w")
        process = subprocess.Popen(argv, stdout=out, stderr=err, **kwargs)
        self.processes.append(process)
        return process

    def path(self, name):
        return os.path.join(self.dir, name)

    def text(self, name):
        with open(self.path(name)) as f:
            return f.read()

    def start_broker(self, persistence=False):
        """Starts mosquitto, on a new free port the first time (and again when another program took
        that port before mosquitto bound it), on the same port after a stop."""
        first = self.broker is None
        for attempt in range(5 if first else 1):
            if first:
                self.port = free_port()
                with open(self.path("mosquitto.conf"), "w") as conf:
                    conf.write(f"listener {self.port} 127.0.0.1\nallow_anonymous true\n"
                               f"persistence {'true' if persistence else 'false'}\n"
                               f"persistence_location {self.dir}/\nmax_queued_messages 1000000\n")
            self.broker = self.start([MOSQUITTO, "-c", self.path("mosquitto.conf")], "mosquitto")
            # It says it runs once its listener is bound; a port that accepts may be another program's.
            wait_for(lambda: self.broker.poll() is not None or " running" in self.text("mosquitto.err"), 5,
                     "mosquitto's start")
            if self.broker.poll() is None:
                return
            if not first or "Address already in use" not in self.text("mosquitto.err") or attempt == 4:
                raise SystemExit("mosquitto did not start:\n" + self.text("mosquitto.err"))

    def stop_broker(self):
        self.broker.terminate()
        self.broker.wait(5)

    def subscriber(self, name, topic, keep_session=False, client=None):
        argv = ["mosquitto_sub", "-h", "127.0.0.1", "-p", str(self.port), "-q", "1", "-t", topic,
                "-F", "%U %p"]
        if keep_session:
            argv += ["-c", "-i", "quarn-figures-" + (client or name)]
        process = self.start(argv, name)
        time.sleep(0.3)
        return process

    def sim(self, args):
        link = self.path("reader")
        process = self.start([f"{self.build}/sim/quarn-sim", "--link", link, "--trace"] + args, "sim")
        wait_for(lambda: os.path.exists(link), 5, "the virtual reader's start")
        return process, link

    def watch(self, args):
        return self.start([f"{self.build}/tools/quarn/quarn", "watch"] + args, "watch")

    def end(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
        for process in self.processes:
            try:
                process.wait(20)
            except subprocess.TimeoutExpired:
                process.kill()
        shutil.rmtree(self.dir, ignore_errors=True)


def received_reads(run, name):
    """(delivery time, read object) for each message the subscriber wrote."""
    reads = []
    for line in run.text(name + ".out").splitlines():
        stamp, _, payload = line.partition(" ")
        try:
            reads.append((float(stamp), json.loads(payload)))
        except ValueError:
            pass
    return reads


def stop_watch(watch):
    watch.send_signal(signal.SIGTERM)
    return watch.wait(30)


def paced(build, seconds):
    """Eight tags leave the field after SECONDS, so every report the reader traced left it."""
    run = Run(build)
    try:
        with open(run.path("field.txt"), "w") as field:
            for n in range(8):
                field.write(f"tag E2003412000000000000{n:04X} leaves {seconds}\n")
        run.start_broker()
        run.subscriber("reads", "quarn/+/reads")
        sim, link = run.sim(["--scenario", run.path("field.txt"), "--baud", "115200", "--interval", "2"])
        watch = run.watch(["--reader", link, "--mqtt", f"mqtt://127.0.0.1:{run.port}", "--stdout", "none",
                           "--status-interval", "3600", "--health-interval", "3600"])
        time.sleep(1)
        cpu0, wall0 = cpu_seconds(watch.pid), time.monotonic()
        time.sleep(max(1.0, seconds - 2))
        cpu1, wall1 = cpu_seconds(watch.pid), time.monotonic()
        time.sleep(3)  # past the tags' leaving, and the queue sent
        status = stop_watch(watch)
        time.sleep(1)
        sent = sum(1 for line in run.text("sim.err").splitlines() if WIRE_REPORT in line) - 1  # less the ack
        reads = received_reads(run, "reads")
        seqs = {read["seq"] for _, read in reads}
        latency = [(at - iso_seconds(read["time"])) * 1000 for at, read in reads]
        cpu = 100 * (cpu1 - cpu0) / (wall1 - wall0)
        print(f"paced stream, {seconds} s at 115200 baud (a report every 2 ms, 19 wire bytes: 82% of the line)")
        print(f"  reports the reader sent:       {sent}")
        print(f"  reads the subscriber received: {len(reads)} ({len(seqs)} distinct, seq 1 to {max(seqs)})")
        print(f"  quarn watch CPU:               {cpu:.1f}% of one core over {wall1 - wall0:.0f} s")
        print(f"  arrival to delivery:           median {statistics.median(latency):.1f} ms, "
              f"99th percentile {percentile(latency, 0.99):.1f} ms, max {max(latency):.1f} ms "
              f"(the watch's timestamp has whole milliseconds)")
        print(f"  watch exit status:             {status}")
        return sent == len(seqs) == max(seqs) and status == 0
    finally:
        run.end()


def replug(build, cycles):
    """Unplugs the reader every 2 s; it comes back after 0.5 s on a new terminal, its link moved."""
    run = Run(build)
    try:
        sim, link = run.sim(["--tags", "3", "--replug-after", "0.5"])
        watch = run.watch(["--reader", link, "--status-interval", "3600"])
        time.sleep(1)
        returns = []
        for _ in range(cycles):
            before = len(run.text("sim.out").splitlines())
            sim.send_signal(signal.SIGUSR1)
            wait_for(lambda: len(run.text("sim.out").splitlines()) > before, 10, "the reader's return")
            returns.append(time.time())  # within the 20 ms of a look at the reader's output
            time.sleep(1.5)
        status = stop_watch(watch)
        objects = [json.loads(line) for line in run.text("watch.out").splitlines()]
        reads = [iso_seconds(o["time"]) for o in objects if o["event"] == "read"]
        last = [o for o in objects if o["event"] == "status"][-1]
        recovery = []
        for returned in returns:
            after = [t for t in reads if t >= returned - 0.02]
            if after and after[0] < returned + 1.5:
                recovery.append((after[0] - returned) * 1000)
        print(f"unplugged and plugged back in {cycles} times (0.5 s out each time)")
        print(f"  cycles recovered:              {len(recovery)} of {cycles}; status reconnects {last['reconnects']}")
        print(f"  port back to the first read:   median {statistics.median(recovery):.0f} ms, "
              f"max {max(recovery):.0f} ms (the reconnect's back-off: 100, 200, 400 ms ... after the unplug)")
        print(f"  watch exit status:             {status}")
        return len(recovery) == cycles == last["reconnects"] and status == 0
    finally:
        run.end()


def broker(build):
    """Stops the broker for 10 s while the reader reads about 33 tags a second."""
    run = Run(build)
    try:
        run.start_broker(persistence=True)
        subscriber = run.subscriber("reads", "quarn/+/reads", keep_session=True)
        sim, link = run.sim(["--tags", "3"])
        watch = run.watch(["--reader", link, "--mqtt", f"mqtt://127.0.0.1:{run.port}", "--stdout", "status",
                           "--status-interval", "1"])
        time.sleep(2)
        down = time.time()
        run.stop_broker()
        time.sleep(10)
        up = time.time()
        run.start_broker(persistence=True)
        # A subscriber that gave up while the broker was away comes back to its kept session.
        resumed = run.subscriber("resumed", "quarn/+/reads", keep_session=True) if subscriber.poll() is not None \
            else None
        time.sleep(8)  # the watch's back-off reaches 5 s between attempts
        status = stop_watch(watch)
        time.sleep(1)
        reads = received_reads(run, "reads") + (received_reads(run, "resumed") if resumed else [])
        seqs = {read["seq"] for _, read in reads}
        window = [read for at, read in reads if down <= iso_seconds(read["time"]) < up]
        late = [read for at, read in reads if down <= iso_seconds(read["time"]) < up and at >= up]
        statuses = [json.loads(line) for line in run.text("watch.out").splitlines()]
        last = statuses[-1]
        print("broker stopped for 10 s and started again (about 33 reads a second; queue 10000)")
        print(f"  reads read while it was away:  {len(window)}, delivered after its return: {len(late)}")
        print(f"  reads the subscriber received: {len(seqs)} distinct, seq 1 to {max(seqs)}; "
              f"{len(reads) - len(seqs)} twice (at least once)")
        print(f"  status at the end:             reads {last['reads']}, mqtt overflow {last['mqtt']['overflow']}, "
              f"sent {last['mqtt']['sent']}")
        print(f"  watch exit status:             {status}")
        return len(seqs) == max(seqs) == last["reads"] and last["mqtt"]["overflow"] == 0 and status == 0
    finally:
        run.end()


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def soak(build, minutes):
    """Twenty tags pass the reader in turns; the reader goes away every 5 minutes, the broker every 20."""
    run = Run(build)
    try:
        with open(run.path("field.txt"), "w") as field:
            for n in range(20):
                field.write(f"tag E2003412000000000000{n:04X} enters {n * 3} every 60 present 20\n")
        run.start_broker(persistence=True)
        subscribers = ["reads"]
        subscriber = run.subscriber("reads", "quarn/+/reads", keep_session=True)
        sim, link = run.sim(["--scenario", run.path("field.txt"), "--replug-after", "1"])
        watch = run.watch(["--reader", link, "--events", "5", "--mqtt", f"mqtt://127.0.0.1:{run.port}",
                           "--stdout", "status", "--status-interval", "60"])
        start = time.monotonic()
        rss = []
        unplugs = broker_stops = 0
        for minute in range(1, minutes + 1):
            time.sleep(max(0.0, start + 60 * minute - time.monotonic()))
            rss.append(rss_kib(watch.pid))
            if minute % 5 == 0:
                sim.send_signal(signal.SIGUSR1)
                unplugs += 1
            if minute % 20 == 10:
                run.stop_broker()
                time.sleep(10)
                run.start_broker(persistence=True)
                broker_stops += 1
                if subscriber.poll() is not None:  # it gave up while the broker was away: its session waits
                    subscribers.append(f"reads{broker_stops}")
                    subscriber = run.subscriber(subscribers[-1], "quarn/+/reads", keep_session=True, client="reads")
        time.sleep(15)  # the last unplug recovered, the queue sent
        status = stop_watch(watch)
        time.sleep(2)
        statuses = [json.loads(line) for line in run.text("watch.out").splitlines()]
        last = statuses[-1]
        seqs = {read["seq"] for name in subscribers for _, read in received_reads(run, name)}
        print(f"soak: {minutes} min, 20 tags passing in turns, {unplugs} unplugs, {broker_stops} broker stops of 10 s")
        print(f"  reads the watch took:          {last['reads']} ({last['readsPerSecond']} a second at the end)")
        print(f"  reads the subscriber received: {len(seqs)} distinct, seq 1 to {max(seqs) if seqs else 0}")
        print(f"  reconnects, health checks:     {last['reconnects']}, {last['healthChecks']}; "
              f"mqtt overflow {last['mqtt']['overflow']}; failures {last['failures']}")
        print(f"  resident memory (KiB):         first minute {rss[0]}, largest {max(rss)}, last {rss[-1]}")
        print(f"  watch exit status:             {status}")
        return (len(seqs) == last["reads"] == (max(seqs) if seqs else 0) and last["reconnects"] == unplugs
                and status == 0)
    finally:
        run.end()


def main(argv):
    build = "build/linux"
    if argv[:1] == ["--build"]:
        build, argv = argv[1], argv[2:]
    for program in (f"{build}/sim/quarn-sim", f"{build}/tools/quarn/quarn"):
        if not os.access(program, os.X_OK):
            raise SystemExit(f"{program} is missing: cmake --build {build} -j2 --target quarn quarn-sim")
    print(f"machine: {os.cpu_count()} CPUs, load average before: {' '.join(open('/proc/loadavg').read().split()[:3])}")
    figures = argv or ["paced", "replug", "broker"]
    ok = True
    i = 0
    while i < len(figures):
        name = figures[i]
        number = figures[i + 1] if i + 1 < len(figures) and figures[i + 1].isdigit() else None
        i += 2 if number else 1
        if name == "paced":
            ok &= paced(build, int(number or 60))
        elif name == "replug":
            ok &= replug(build, int(number or 50))
        elif name == "broker":
            ok &= broker(build)
        elif name == "soak":
            ok &= soak(build, int(number or 120))
        else:
            raise SystemExit(f"no figure called {name}: paced, replug, broker or soak")
        print(f"load average after: {' '.join(open('/proc/loadavg').read().split()[:3])}")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
