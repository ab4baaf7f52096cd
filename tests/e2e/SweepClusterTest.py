#!/usr/bin/python3
"""kestrune-sweep on a real Dask scheduler with two worker processes gives the grid of kestrune-plan alone,
byte for byte: straight, with a worker killed mid-sweep, and interrupted then resumed. An unreachable
scheduler is named. Usage: SweepClusterTest.py KESTRUNE_PLAN KESTRUNE_SWEEP"""

import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

# Earth to the Moon over some 19000 steps, half a second a cell: a shard takes long enough for a worker to be
# killed in it; a third of the cells do not converge, which their lines must show the same way.
GRID = ["--from", "Earth", "--to", "Luna", "--depart", "1000:1250:50", "--arrive", "20000:20250:50"]
SHARD_CELLS = "4"  # 36 cells in 9 shards, more than the two workers take at once
TIMEOUT_S = 300

PLAN, SWEEP = (os.path.abspath(p) for p in sys.argv[1:3])


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_until(condition, what, timeout=TIMEOUT_S):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(0.05)


def running_children(pid):
    try:
        return any(open(f"/proc/{pid}/task/{t}/children").read().split() for t in os.listdir(f"/proc/{pid}/task"))
    except OSError:
        return False


def dask_command(name):
    # The packaged version names them dask-scheduler and dask-worker; later ones `dask scheduler`.
    return [name] if shutil.which(name) else ["dask", name.split("-")[1]]


class SweepClusterTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="kestrune-sweep-test-")
        self.addCleanup(shutil.rmtree, self.dir, ignore_errors=True)
        self.groups = []
        self.addCleanup(self.kill_all)

    def start(self, cmd, **kw):
        # A session of its own, so a kill takes the process and the kestrune-plan it runs.
        p = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, start_new_session=True,
                             cwd=self.dir, **kw)
        self.groups.append(p)
        return p

    def kill_all(self):
        for p in self.groups:
            try:
                os.killpg(p.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            p.wait()

    def start_cluster(self):
        self.address = f"tcp://127.0.0.1:{free_port()}"
        port = self.address.rsplit(":", 1)[1]
        self.start(dask_command("dask-scheduler") + ["--host", "127.0.0.1", "--port", port, "--no-dashboard"],
                   stderr=subprocess.DEVNULL)
        self.workers = [self.start(dask_command("dask-worker") + [
            self.address, "--nthreads", "1", "--no-nanny", "--no-dashboard", "--memory-limit", "0",
            "--local-directory", self.dir], stderr=subprocess.DEVNULL) for _ in range(2)]
        from distributed import Client

        with Client(self.address, timeout=60) as client:
            client.wait_for_workers(2, timeout=120)

    def sweep(self, out, *extra, wait=True):
        cmd = [SWEEP, *GRID, "--scheduler", self.address, "--shard-cells", SHARD_CELLS, "--plan", PLAN,
               "-o", os.path.join(self.dir, out), *extra]
        p = self.start(cmd, stderr=subprocess.PIPE)
        if wait:
            p.stderr_text = p.communicate(timeout=TIMEOUT_S)[1].decode()
        return p

    def read(self, name):
        with open(os.path.join(self.dir, name), "rb") as f:
            return f.read()

    def first_shard_done(self, out):
        # The manifest is written once its first shard is kept.
        return os.path.exists(os.path.join(self.dir, out + ".manifest", "manifest.json"))

    def test_cluster_sweep_matches_one_machine_through_worker_loss_and_resume(self):
        subprocess.run([PLAN, "porkchop", *GRID, "-o", os.path.join(self.dir, "alone.csv")], check=True,
                       stdin=subprocess.DEVNULL, timeout=TIMEOUT_S)
        alone = self.read("alone.csv")
        self.assertEqual(alone.count(b"\n"), 37)

        self.start_cluster()
        p = self.sweep("straight.csv")
        self.assertEqual(p.returncode, 0, p.stderr_text)
        self.assertEqual(self.read("straight.csv"), alone)
        self.assertIn("shards 9/9, cells 36/36", p.stderr_text)
        self.assertIn("driver overhead:", p.stderr_text)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "straight.csv.manifest")))

        # A worker lost mid-shard: Dask runs its shard again on the other one.
        p = self.sweep("killed.csv", wait=False)
        victim = self.workers[0].pid
        wait_until(lambda: (self.first_shard_done("killed.csv") and running_children(victim)) or p.poll() is not None,
                   "the first shard, and a shard running on the first worker")
        self.assertIsNone(p.poll(), "the sweep ended before a worker could be killed")
        os.killpg(self.workers[0].pid, signal.SIGKILL)
        err = p.communicate(timeout=TIMEOUT_S)[1].decode()
        self.assertEqual(p.returncode, 0, err)
        self.assertEqual(self.read("killed.csv"), alone)

        # Interrupted, the finished shards stay; other arguments are refused; the same ones resume.
        p = self.sweep("resumed.csv", wait=False)
        wait_until(lambda: self.first_shard_done("resumed.csv") or p.poll() is not None, "the first shard")
        p.send_signal(signal.SIGINT)
        err = p.communicate(timeout=TIMEOUT_S)[1].decode()
        self.assertEqual(p.returncode, 130, err)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "resumed.csv")))
        p = self.sweep("resumed.csv", "--distance", "1234")
        self.assertEqual(p.returncode, 1, p.stderr_text)
        self.assertIn("resumed.csv.manifest holds a sweep with other arguments: distance", p.stderr_text)
        p = self.sweep("resumed.csv")
        self.assertEqual(p.returncode, 0, p.stderr_text)
        self.assertRegex(p.stderr_text, r"resuming: [1-8] of 9 shards already done")
        self.assertEqual(self.read("resumed.csv"), alone)

        # Nobody listens: a message naming the address within the connect timeout.
        address = f"tcp://127.0.0.1:{free_port()}"
        t0 = time.monotonic()
        r = subprocess.run([SWEEP, *GRID, "--scheduler", address, "--plan", PLAN, "-o",
                            os.path.join(self.dir, "none.csv")], stdin=subprocess.DEVNULL, capture_output=True,
                           text=True, timeout=60)
        self.assertEqual(r.returncode, 1, r.stderr)
        self.assertIn(f"cannot reach the Dask scheduler at {address}", r.stderr)
        self.assertLess(time.monotonic() - t0, 30)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "none.csv.manifest")))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], warnings="ignore")
