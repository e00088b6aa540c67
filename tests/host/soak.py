"""Soak of keystead-host: a fixed number of requests from a few clients, each
drawing a seeded mix of status, settings, camera and pre-flight requests,
polled enrollment and match sessions (some stopped half-way) and bad requests.
The host's resident memory, threads and open descriptors are read after a
warm-up and at the end, both times with no request in flight and the camera
stopped. Fails on growth that can only be a leak (memory more than 20 MB above
its warm-up value, threads or descriptors above theirs), on any answer of the
wrong form, and on an unclean exit of the host. Prints one summary line; with
more than --progress requests also the host's figures at every such step.

usage: soak.py [--requests N] [--clients N] [--seed N] [--warm-up N] [--progress N]
"""

import argparse
import collections
import http.client
import json
import random
import sys
import threading
import time
import uuid

from host_process import HostProcess
from http_wire import (KeptAlive, Malformed, build_request, check, exchange, is_error_document,
                       json_body, verdict)

MEMORY_SLACK_KIB = 20 * 1024
SETTLE_SECONDS = 5
MAX_POLLS = 10
ALLOWED_ORIGIN = "https://app.keystead.com"
JSON_TYPE = {"Content-Type": "application/json"}
SOAK_SETTING = {"Setting": {"id": "KS_SOAK", "value": "1", "display": "Soak", "supported": "1"}}
UNKNOWN_CAMERA = {"id": 9, "name": "Keystead Soak Camera", "selected": True}

# Sessions answer within a fraction of a second after the plug-in's own start
# pause, so that they do not dominate the run; small frames keep polls cheap.
SCENARIO = {
    "camera": {"width": 64, "height": 48, "fps": 30},
    "timelines": {
        "enrollment": [
            {"type": "feedback", "afterMs": 50, "code": 9, "description": "Hold still"},
            {"type": "processedFrames", "afterMs": 100, "count": 2},
        ],
        "match": [
            {"type": "feedback", "afterMs": 50, "code": 9, "description": "Hold still"},
            {"type": "result", "afterMs": 100, "matchStatus": True, "localMatchStatus": True,
             "idToken": "eyJhbGciOiJub25lIn0.eyJzdWIiOiJzb2FrIn0.", "liveness": "BLINK",
             "isTrustedDevice": True},
        ],
    },
}


class Usage(collections.namedtuple("Usage", "rss_kib threads descriptors")):
    def __str__(self):
        return "RSS %.1f MB, %d threads, %d fds" % (self.rss_kib / 1024, self.threads,
                                                    self.descriptors)


def usage(host):
    return Usage(host.rss_kib(), host.thread_count(), host.descriptor_count())


def settled_usage(host, reference=None):
    """The host's figures once its threads and descriptors have come back to
    `reference` (or stopped changing), waiting at most SETTLE_SECONDS."""
    deadline = time.monotonic() + SETTLE_SECONDS
    previous = None
    while True:
        time.sleep(0.25)
        current = usage(host)
        if reference is not None:
            back = (current.threads <= reference.threads and
                    current.descriptors <= reference.descriptors)
        else:
            back = previous is not None and current[1:] == previous[1:]
        if back or time.monotonic() > deadline:
            return current
        previous = current


def fresh_correlation_id(rng):
    return "QCID" + str(uuid.UUID(int=rng.getrandbits(128), version=4)) + "QCID"


# ---- what a session poll answered ------------------------------------------------

# "error" or "empty" for the answers both polls give alike, else None.
def shared_outcome(document):
    if is_error_document(document):
        return "error"
    if document == {}:
        return "empty"
    return None


def feedback_outcome(feedback):
    # An unusable camera ends the session as an error would.
    return "error" if feedback.get("code") == 5633 else "feedback"


def enrollment_outcome(document):
    data = document.get("data") if isinstance(document, dict) else None
    shared = shared_outcome(document)
    if shared:
        return shared
    check(isinstance(data, dict) and isinstance(data.get("processed"), bool),
          "enrollment answer of unknown shape")
    if data["processed"]:
        return "result"
    feedback = data.get("feedback")
    if isinstance(feedback, dict):
        return feedback_outcome(feedback)
    check(isinstance(data.get("frames"), list), "enrollment answer without frames or feedback")
    return "frame"


def match_outcome(document):
    shared = shared_outcome(document)
    if shared:
        return shared
    check(isinstance(document, dict) and isinstance(document.get("matchStatus"), bool),
          "match answer of unknown shape")
    if "stopped" in document:
        return "result"
    if isinstance(document.get("feedback"), dict):
        return feedback_outcome(document["feedback"])
    check(isinstance(document.get("frame"), dict), "match answer without frame or feedback")
    return "frame"


SESSIONS = {
    # name: (path, extra headers, reader of a poll's answer)
    "enrollment": ("/q/v1/frame/enrollment", {}, enrollment_outcome),
    "hybrid match": ("/q/v1/frame/match", {}, match_outcome),
    "remote match": ("/q/v1/frame/match", {"Caller": "REMOTE_PSI_25"}, match_outcome),
}


# ---- the bad requests: raw bytes on a fresh connection, and the statuses allowed ----

def bad_requests(host_header):
    def raw(method, target, headers=None, body=b"", host=host_header):
        return build_request(method, target, host, headers, body)

    json_type = dict(JSON_TYPE)
    return [
        ("garbage", b"\x00\xff\xfe garbage \r\n\r\n", {None, 400}),
        ("unknown plug-in path", raw("GET", "/q/v1/no/such/path", json_type), {400}),
        ("path outside the plug-in", raw("GET", "/q/v2/status/qav", json_type), {404}),
        ("no Host", raw("GET", "/q/v1/status/qav", json_type, host=None), {403}),
        ("foreign Host", raw("GET", "/q/v1/status/qav", json_type, host="attacker.example"),
         {403}),
        ("cross-site POST", raw("POST", "/q/v1/settings",
                                {"Origin": "https://evil.example", "Content-Type": "text/plain"},
                                json.dumps(SOAK_SETTING).encode()), {403}),
        ("zero byte in a header", raw("GET", "/q/v1/status/qav",
                                      dict(json_type, **{"X-A": "a\x00b"})), {400}),
        ("unknown method", raw("BREW", "/q/v1/status/qav", json_type), {400}),
        ("bad chunk", ("POST /q/v1/settings HTTP/1.1\r\nHost: %s\r\nTransfer-Encoding: chunked"
                       "\r\n\r\nZZ\r\nxx\r\n0\r\n\r\n" % host_header).encode(), {400}),
        ("negative content length", ("POST /q/v1/settings HTTP/1.1\r\nHost: %s\r\n"
                                     "Content-Length: -5\r\n\r\n" % host_header).encode(), {400}),
        ("poll without correlation id", raw("POST", "/q/v1/frame/enrollment", json_type, b"{}"),
         {500}),
        ("body not JSON", raw("POST", "/q/v1/settings", json_type, b"{" * 1000), {500}),
        ("camera choice not JSON", raw("POST", "/q/v1/devices/video", json_type, b"[1,"), {500}),
        ("large headers", raw("GET", "/q/v1/status/qav",
                              dict(json_type, **{"X-Filler-%d" % i: "f" * 4000 for i in range(4)})),
         {200}),
        ("large body", raw("POST", "/q/v1/bca/settings", json_type,
                           b'{"filler":"' + b"g" * 16000 + b'"}'), {200}),
        ("too many header lines", raw("GET", "/q/v1/status/qav",
                                      {"X-Many-%d" % i: "m" * 100 for i in range(600)}), {431}),
        ("target too long", raw("GET", "/q/v1/status/qav?" + "t" * 20000, json_type), {414}),
    ]


# ---- the soak ----------------------------------------------------------------------

class Soak:
    def __init__(self, host, seed):
        self.host = host
        self.port = host.port
        self.seed = seed
        self.lock = threading.Lock()
        # One page drives the camera at a time: the plug-in has one capture session.
        self.session_lock = threading.Lock()
        self.served = 0
        self.answers = collections.Counter()
        self.outcomes = collections.Counter()
        self.failures = []
        self.bad = bad_requests(host.host_header)
        self.lone_rng = random.Random(seed - 1)
        self.restore = self.current_settings()

    def current_settings(self):
        """What the harmless writes write back: the values the host has now."""
        client = KeptAlive(self.port)
        try:
            def setting(name):
                response, raw = client.send("GET", "/q/v1/settings?id=" + name, JSON_TYPE)
                return int(json_body(response, raw, name)["Setting"][0]["value"])

            response, raw = client.send("GET", "/q/v1/devices/video", JSON_TYPE)
            cameras = json_body(response, raw, "camera list")["devices"]
            return {
                "bca": {"faceIndicatorColor": setting("BCA_FACE_INDICATOR_COLOR"),
                        "previewType": setting("BCA_PREVIEW_TYPE")},
                "camera": next(camera for camera in cameras if camera["selected"]),
            }
        finally:
            client.close()

    def record(self, kind, failure=None):
        with self.lock:
            self.served += 1
            self.answers[kind] += 1
            if failure:
                self.failures.append("%s: %s" % (kind, failure))

    def fail(self, failure):
        with self.lock:
            self.failures.append(failure)

    def remaining(self, target):
        with self.lock:
            return self.served < target

    # ---- running phases ----

    def run_until(self, clients, target):
        """Serves requests from every client until `target` have been served in all."""
        threads = [threading.Thread(target=client.run_until, args=(target,))
                   for client in clients]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()

    def lone_session(self, name, stop_after):
        client = Client(self, -1)
        try:
            with self.session_lock:
                client.session(name, stop_after, self.lone_rng)
        finally:
            client.close()

    def prime(self):
        """One session of each kind, so that the warm-up has met them all."""
        for name in sorted(SESSIONS):
            self.lone_session(name, MAX_POLLS)

    def quiesce(self):
        """Stops the camera: a short session ended by its stop, since a match
        result ends the plug-in's session without stopping the capture."""
        self.lone_session("enrollment", 1)


class Client:
    """One kept-alive client drawing its own seeded sequence of requests."""

    def __init__(self, soak, index):
        self.soak = soak
        self.rng = random.Random(soak.seed * 1000 + index)
        self.connection = KeptAlive(soak.port)
        self.jobs, weights = zip(*[
            (self.status, 30), (self.settings, 15), (self.camera, 15), (self.preflight, 10),
            (self.bad_request, 10), (self.any_session, 0.05),
        ])
        self.weights = list(weights)

    def close(self):
        self.connection.close()

    def run_until(self, target):
        try:
            while self.soak.remaining(target):
                self.rng.choices(self.jobs, self.weights)[0]()
        finally:
            self.close()

    def send(self, kind, method, target, headers, body=None, statuses=(200,)):
        """One request; its JSON document, or None (recorded as a failure)."""
        try:
            response, raw = self.connection.send(method, target, headers, body)
            document = json_body(response, raw, "%s %s" % (method, target))
            if response.status not in statuses:
                reason = (document["error"]["description"] if is_error_document(document)
                          else "no error document")
                raise Malformed("%s %s answered %d: %s" % (method, target, response.status,
                                                           reason))
            if response.status >= 400:
                check(is_error_document(document), "%s %s: %d without an error document"
                      % (method, target, response.status))
            self.soak.record(kind)
            return document
        except (Malformed, OSError, http.client.HTTPException) as failure:
            self.soak.record(kind, failure)
            return None

    def expect(self, kind, method, target, headers, body, validate, statuses=(200,)):
        document = self.send(kind, method, target, headers, body, statuses)
        if document is None:
            return
        try:
            validate(document)
        except (Malformed, KeyError, IndexError, TypeError) as failure:
            self.soak.fail("%s %s: %r" % (method, target, failure))

    # ---- the jobs ----

    def status(self):
        if self.rng.random() < 0.7:
            self.expect("status", "GET", "/q/v1/status/qav", JSON_TYPE, None,
                        lambda d: check(isinstance(d["capabilities"]["faceFactor"], int),
                                        "status document"))
        else:
            self.expect("status", "GET", "/q/v1/status/deviceid", JSON_TYPE, None,
                        lambda d: check(d == {"status": 1}, "device id status"))

    def settings(self):
        choice = self.rng.randrange(4)
        if choice == 0:
            self.expect("settings", "GET", "/q/v1/settings?id=BCA_PREVIEW_TYPE", JSON_TYPE, None,
                        lambda d: check(d["Setting"][0]["id"] == "BCA_PREVIEW_TYPE", "setting"))
        elif choice == 1:
            self.expect("settings", "GET", "/q/v1/settings?id=KS_SOAK_UNKNOWN", JSON_TYPE, None,
                        lambda d: check(d is None, "unknown setting answered %r" % d))
        elif choice == 2:
            self.expect("settings", "POST", "/q/v1/settings",
                        dict(JSON_TYPE, Origin=ALLOWED_ORIGIN), json.dumps(SOAK_SETTING),
                        lambda d: check(d == {}, "setting write"))
        else:
            self.expect("settings", "POST", "/q/v1/bca/settings",
                        dict(JSON_TYPE, Origin=ALLOWED_ORIGIN),
                        json.dumps(self.soak.restore["bca"]),
                        lambda d: check(d == {}, "capture settings write"))

    def camera(self):
        choice = self.rng.randrange(4)
        if choice == 0:
            self.expect("camera", "GET", "/q/v1/devices/video", JSON_TYPE, None,
                        lambda d: check(len(d["devices"]) >= 1, "camera list"))
        elif choice == 1:
            self.expect("camera", "GET", "/q/v1/camera/status", JSON_TYPE, None,
                        lambda d: check(isinstance(d["deviceStatus"], int), "camera status"))
        elif choice == 2:
            self.expect("camera", "POST", "/q/v1/devices/video", JSON_TYPE,
                        json.dumps(self.soak.restore["camera"]),
                        lambda d: check(d == {}, "camera choice"))
        else:
            self.expect("camera", "POST", "/q/v1/devices/video", JSON_TYPE,
                        json.dumps(UNKNOWN_CAMERA),
                        lambda d: check(d["error"]["source"] == 1, "unknown camera"),
                        statuses=(500,))

    def preflight(self):
        target = self.rng.choice(["/q/v1/frame/match", "/q/v1/settings", "/q/v1/frame/enrollment"])
        headers = {"Origin": ALLOWED_ORIGIN, "Access-Control-Request-Method": "POST"}
        self.expect("pre-flight", "OPTIONS", target, headers, None,
                    lambda d: check(d == {}, "pre-flight answer"))

    def bad_request(self):
        label, raw, statuses = self.rng.choice(self.soak.bad)
        try:
            answer = exchange(self.soak.port, raw)
        except OSError as error:
            answer = error
        status = getattr(answer, "status", None)
        self.soak.record("bad", None if status in statuses else "%s answered %r" % (label, answer))

    def any_session(self):
        name = self.rng.choice(sorted(SESSIONS))
        # A quarter of the sessions are stopped after their first answer.
        stop_after = 1 if self.rng.random() < 0.25 else MAX_POLLS
        with self.soak.session_lock:
            self.session(name, stop_after, self.rng)

    def session(self, name, stop_after, rng):
        """Polls one session with its own correlation id until a result, an
        error or `stop_after` answers, then stops it as a page does."""
        path, extra, outcome_of = SESSIONS[name]
        headers = dict(JSON_TYPE, **extra)
        headers["Q-Correlation-Id"] = fresh_correlation_id(rng)
        outcome = "none"
        for poll in range(1, MAX_POLLS + 1):
            document = self.send(name, "POST", path, headers, "{}", statuses=(200, 500))
            if document is None:
                outcome = "failed"
                break
            try:
                outcome = outcome_of(document)
            except Malformed as failure:
                self.soak.fail("%s: %s" % (name, failure))
                outcome = "failed"
                break
            if outcome in ("result", "error"):
                break
            if poll >= stop_after:
                outcome = "stopped"
                break
        else:
            self.soak.fail("%s: no result after %d polls" % (name, MAX_POLLS))
        with self.soak.lock:
            self.soak.outcomes["%s %s" % (name, outcome)] += 1
        # After a hybrid match result the session is already over: the stop then
        # answers "Frames Already Stopped".
        self.expect("stop", "POST", "/q/v1/frame/stop", headers, "{}",
                    lambda d: check(d == {} or is_error_document(d), "stop answer"),
                    statuses=(200, 500))


# ---- main --------------------------------------------------------------------------

def steps(total, warm_up, progress):
    """The request counts at which the host is measured: the warm-up, every
    `progress` requests, and the end."""
    marks = [min(warm_up, total)]
    marks += range(progress, total, progress)
    marks.append(total)
    return sorted(set(marks))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--requests", type=int, default=50000)
    parser.add_argument("--clients", type=int, default=4)
    parser.add_argument("--seed", type=int, default=14)
    parser.add_argument("--warm-up", type=int, default=5000)
    parser.add_argument("--progress", type=int, default=100000)
    arguments = parser.parse_args()

    problems = []
    with HostProcess(scenario=SCENARIO) as host:
        soak = Soak(host, arguments.seed)
        clients = [Client(soak, index) for index in range(arguments.clients)]
        soak.prime()
        load_seconds = 0.0
        warm = end = None
        for mark in steps(arguments.requests, arguments.warm_up, arguments.progress):
            started = time.monotonic()
            soak.run_until(clients, mark)
            load_seconds += time.monotonic() - started
            soak.quiesce()
            figures = settled_usage(host, warm)
            if warm is None:
                warm = figures
            else:
                end = figures
            if arguments.requests > arguments.progress:
                print("soak progress: %d requests, %s" % (soak.served, figures), flush=True)
        exit_code = host.stop()

    rate = soak.served / load_seconds if load_seconds else 0
    answers = ", ".join("%s %d" % item for item in sorted(soak.answers.items()))
    print("soak: %d requests served at %.0f requests/s; host after warm-up %s, at the end %s; "
          "answers: %s" % (soak.served, rate, warm, end or warm, answers))
    print("soak sessions: " + ", ".join("%s %d" % item for item in sorted(soak.outcomes.items())))
    end = end or warm
    if end.rss_kib - warm.rss_kib > MEMORY_SLACK_KIB:
        problems.append("memory grew by %.1f MB after warm-up (at most %d MB allowed)"
                        % ((end.rss_kib - warm.rss_kib) / 1024, MEMORY_SLACK_KIB // 1024))
    if end.threads > warm.threads:
        problems.append("threads did not come back: %d after warm-up, %d at the end"
                        % (warm.threads, end.threads))
    if end.descriptors > warm.descriptors:
        problems.append("open descriptors did not come back: %d after warm-up, %d at the end"
                        % (warm.descriptors, end.descriptors))
    problems += soak.failures[:10]
    if len(soak.failures) > 10:
        problems.append("... and %d more wrong answers" % (len(soak.failures) - 10))
    if exit_code != 0:
        problems.append("host exited with %r" % exit_code)
    return verdict("soak", problems)


if __name__ == "__main__":
    sys.exit(main())
