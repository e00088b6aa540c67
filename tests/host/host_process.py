"""Starts keystead-host for a test in a throw-away environment and talks to it.

The host runs with the stand-in engine, on a free loopback port, with every
KEYSTEAD_* folder pointed into a temporary directory, and with the plug-in's
log switched on (a registry file naming an install folder that holds an
NLog.config) so that a test can read which requests reached the plug-in.
"""

import glob
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import tempfile
import threading
import time
import uuid

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
DEFAULT_BUILD = os.path.join(REPO, "build")
LISTENING = re.compile(r"listening on http://127\.0\.0\.1:(\d+)/")


def host_binary():
    build = os.environ.get("KEYSTEAD_BUILD_DIR", DEFAULT_BUILD)
    return os.path.join(build, "host", "keystead-host")


def correlation_id():
    return "QCID" + str(uuid.uuid4()) + "QCID"


class HostProcess:
    """One running keystead-host. Use as a context manager. `scenario` is the
    stand-in engine's scenario: a file, or a dict written into the host's folder."""

    def __init__(self, scenario=None, extra_args=()):
        self.scenario = scenario
        self.extra_args = list(extra_args)
        self.folder = None
        self.process = None
        self.port = None
        self.lines = []
        self._lines_lock = threading.Lock()
        self._reader = None
        self.env = None

    # ---- lifecycle ---------------------------------------------------------

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()
        if self.folder:
            shutil.rmtree(self.folder, ignore_errors=True)

    def start(self, timeout=20):
        self.folder = tempfile.mkdtemp(prefix="keystead-host-test-")
        env = self.env = self._environment()
        self.process = subprocess.Popen(
            [host_binary(), "--port", "0", *self.extra_args],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env, text=True,
            errors="replace")
        self._reader = threading.Thread(target=self._read_output, daemon=True)
        self._reader.start()
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            with self._lines_lock:
                for line in self.lines:
                    match = LISTENING.search(line)
                    if match:
                        self.port = int(match.group(1))
                        return
            if self.process.poll() is not None:
                break
            time.sleep(0.05)
        output = "\n".join(self.output_lines())
        self.kill()
        raise RuntimeError("keystead-host did not start:\n" + output)

    def stop(self, timeout=20):
        """SIGTERM, then wait; returns the exit code (None if it had to be killed)."""
        try:
            if self.process and self.process.poll() is None:
                self.process.send_signal(signal.SIGTERM)
                try:
                    self.process.wait(timeout=timeout)
                except subprocess.TimeoutExpired:
                    self.kill()
                    return None
            return self.process.returncode if self.process else None
        finally:
            self._close_output()

    def kill(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self._close_output()

    def _close_output(self):
        if self._reader:
            self._reader.join(timeout=5)
        if self.process and self.process.stdout and not (self._reader and self._reader.is_alive()):
            self.process.stdout.close()

    def _environment(self):
        install = os.path.join(self.folder, "install")
        logs = os.path.join(self.folder, "logs")
        os.makedirs(install)
        os.makedirs(logs)
        with open(os.path.join(install, "NLog.config"), "w") as config:
            config.write('<nlog><targets><target name="file" fileName="%s/service.log" />'
                         '</targets></nlog>\n' % logs)
        registry = os.path.join(self.folder, "registry.json")
        with open(registry, "w") as handle:
            json.dump({"SOFTWARE\\Keystead\\InstallInfo": {"InstallDir": install},
                       "SOFTWARE\\Keystead\\Settings": {"FULL_LOG_ENABLE": 1}}, handle)
        env = dict(os.environ)
        env.update({
            "KEYSTEAD_REGISTRY": registry,
            "KEYSTEAD_LOCALAPPDATA": os.path.join(self.folder, "localappdata"),
            "KEYSTEAD_PROGRAMDATA": os.path.join(self.folder, "programdata"),
        })
        env.pop("KEYSTEAD_DEBUG_OUTPUT", None)
        if isinstance(self.scenario, dict):
            path = os.path.join(self.folder, "scenario.json")
            with open(path, "w") as handle:
                json.dump(self.scenario, handle)
            env["KEYSTEAD_SIM_SCENARIO"] = path
        elif self.scenario:
            env["KEYSTEAD_SIM_SCENARIO"] = self.scenario
        else:
            env.pop("KEYSTEAD_SIM_SCENARIO", None)
        return env

    def _read_output(self):
        for line in self.process.stdout:
            with self._lines_lock:
                self.lines.append(line.rstrip("\n"))

    # ---- observations ------------------------------------------------------

    def output_lines(self):
        with self._lines_lock:
            return list(self.lines)

    def wait_for_output(self, text, timeout=10):
        """Whether a line holding `text` is printed within `timeout` seconds: the
        host prints while it answers, so a line may reach the reader after the
        answer has reached the test."""
        deadline = time.monotonic() + timeout
        while not any(text in line for line in self.output_lines()):
            if time.monotonic() >= deadline:
                return False
            time.sleep(0.02)
        return True

    def exit_code_and_output(self, timeout=20):
        """The exit code and every line printed, once the output is drained:
        the reader may still hold the last lines when the process has ended."""
        code = self.process.wait(timeout=timeout)
        if self._reader:
            self._reader.join(timeout=timeout)
        return code, self.output_lines()

    def plugin_log(self):
        """Everything the plug-in has logged so far."""
        text = []
        for path in sorted(glob.glob(os.path.join(self.folder, "logs", "*"))):
            with open(path, errors="replace") as handle:
                text.append(handle.read())
        return "".join(text)

    def rss_kib(self):
        with open("/proc/%d/status" % self.process.pid) as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        raise RuntimeError("no VmRSS for the host")

    def thread_count(self):
        return len(os.listdir("/proc/%d/task" % self.process.pid))

    def descriptor_count(self):
        return len(os.listdir("/proc/%d/fd" % self.process.pid))

    # ---- raw access ----------------------------------------------------------

    @property
    def host_header(self):
        return "127.0.0.1:%d" % self.port

    def connect(self, timeout=10):
        return socket.create_connection(("127.0.0.1", self.port), timeout=timeout)
