"""Load check of keystead-host: a few thousand requests over loopback, at most 32
at once (30 workers sending status, settings and pre-flight requests, and two
enrollment polling sessions sharing one capture), every answer checked for
form, and the host's memory compared before and after. Prints requests per
second; exits non-zero on any malformed answer or memory growth past 20 MB.

usage: load_check.py [--requests N]
"""

import argparse
import http.client
import itertools
import json
import sys
import threading
import time

from host_process import HostProcess, correlation_id
from http_wire import KeptAlive, Malformed, check, is_error_document, json_body, verdict

WORKERS = 30
POLLERS = 2
MEMORY_SLACK_KIB = 20 * 1024
ALLOWED_ORIGIN = "https://app.keystead.com"


# ---- the mixed requests: (method, target, headers, body, validator) -----------

def check_status(document):
    check(isinstance(document.get("status"), int), "status document")


def check_setting(document):
    check(document["Setting"][0]["id"] == "BCA_PREVIEW_TYPE", "setting document")


def check_empty_object(document):
    check(document == {}, "expected {}")


def mixed_requests():
    setting = json.dumps({"Setting": {"id": "KS_LOAD_CHECK", "value": "1", "display": "Load check",
                                      "supported": "1"}})
    json_type = {"Content-Type": "application/json"}
    return itertools.cycle([
        ("GET", "/q/v1/status/qav", json_type, None, check_status),
        ("GET", "/q/v1/settings?id=BCA_PREVIEW_TYPE", json_type, None, check_setting),
        ("POST", "/q/v1/settings", dict(json_type, Origin=ALLOWED_ORIGIN), setting,
         check_empty_object),
        ("OPTIONS", "/q/v1/frame/match",
         {"Origin": ALLOWED_ORIGIN, "Access-Control-Request-Method": "POST"}, None,
         check_empty_object),
        ("GET", "/q/v1/status/deviceid", json_type, None, check_status),
    ])


class Load:
    def __init__(self, port):
        self.port = port
        self.lock = threading.Lock()
        self.failures = []
        self.answers = 0

    def record(self, failure=None):
        with self.lock:
            self.answers += 1
            if failure:
                self.failures.append(failure)

    def work(self, jobs):
        connection = KeptAlive(self.port)
        try:
            for method, target, headers, body, validate in jobs:
                try:
                    response, raw = connection.send(method, target, headers, body)
                    document = json_body(response, raw, "%s %s" % (method, target))
                    if response.status != 200:
                        reason = (document["error"]["description"] if is_error_document(document)
                                  else "no error document")
                        raise Malformed("answered %d: %s" % (response.status, reason))
                    validate(document)
                    if method == "OPTIONS":
                        check(response.getheader("Access-Control-Allow-Methods"),
                              "pre-flight without CORS block")
                    self.record()
                except (Malformed, KeyError, IndexError, TypeError, OSError,
                        http.client.HTTPException) as failure:
                    self.record("%s %s: %s" % (method, target, failure))
        finally:
            connection.close()

    def poll(self, until, stats):
        """Polls one enrollment session until `until` is set, then stops it."""
        identity = correlation_id()
        headers = {"Content-Type": "application/json", "Q-Correlation-Id": identity}
        connection = KeptAlive(self.port)
        try:
            while not until.is_set():
                try:
                    response, raw = connection.send("POST", "/q/v1/frame/enrollment", headers,
                                                    "{}")
                    document = json_body(response, raw, "enrollment poll")
                    check(response.status == 200 or is_error_document(document),
                          "poll answered %d without an error document" % response.status)
                    check(isinstance(document, dict) and
                          ("data" in document or document == {} or is_error_document(document)),
                          "poll document of unknown shape")
                    frames = document.get("data", {}).get("frames") or []
                    if frames and "width" in frames[0]:
                        stats["frames"] += 1
                    self.record()
                except (Malformed, OSError, http.client.HTTPException) as failure:
                    self.record("enrollment poll: %s" % failure)
            response, raw = connection.send("POST", "/q/v1/frame/stop", headers, "{}")
            document = json_body(response, raw, "frame stop")
            check(document == {} or is_error_document(document), "frame stop answer")
            self.record()
        except (Malformed, OSError, http.client.HTTPException) as failure:
            self.record("polling session: %s" % failure)
        finally:
            connection.close()

    def run(self, count):
        """`count` mixed requests plus the polling sessions; returns (seconds, frames)."""
        source = mixed_requests()
        share = [list(itertools.islice(source, count // WORKERS + (i < count % WORKERS)))
                 for i in range(WORKERS)]
        done = threading.Event()
        stats = {"frames": 0}
        pollers = [threading.Thread(target=self.poll, args=(done, stats)) for _ in range(POLLERS)]
        workers = [threading.Thread(target=self.work, args=(jobs,)) for jobs in share]
        started = time.monotonic()
        for thread in pollers + workers:
            thread.start()
        for thread in workers:
            thread.join()
        done.set()
        for thread in pollers:
            thread.join()
        return time.monotonic() - started, stats["frames"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--requests", type=int, default=4000)
    arguments = parser.parse_args()

    with HostProcess() as host:
        Load(host.port).run(max(arguments.requests // 2, WORKERS))
        time.sleep(0.5)
        warm_kib = host.rss_kib()

        load = Load(host.port)
        seconds, frames = load.run(arguments.requests)
        time.sleep(0.5)
        end_kib = host.rss_kib()
        exit_code = host.stop()

    rate = load.answers / seconds
    print("load check: %d answers in %.2f s: %.0f requests/s (%d preview frames polled)"
          % (load.answers, seconds, rate, frames))
    print("host memory: %.1f MB after warm-up, %.1f MB at the end (%+.1f MB)"
          % (warm_kib / 1024, end_kib / 1024, (end_kib - warm_kib) / 1024))
    problems = list(load.failures[:10])
    if len(load.failures) > 10:
        problems.append("... and %d more" % (len(load.failures) - 10))
    if end_kib - warm_kib > MEMORY_SLACK_KIB:
        problems.append("memory grew by more than 20 MB after warm-up")
    if frames == 0:
        problems.append("the polling sessions saw no preview frame")
    if exit_code != 0:
        problems.append("host exited with %r" % exit_code)
    return verdict("load check", problems)


if __name__ == "__main__":
    sys.exit(main())
