"""Minimal HTTP/1.1 over a raw socket, so tests can send what no client library would;
and a kept-alive client with the checks of an answer's form that the load runs share.

When KS_ANSWER_LOG names a file, every answer to a well-formed request for a
path under /q/v1/ is appended to it as one JSON line, for the check of the
answers against the API description (tests/host/api-check.mjs)."""

import http.client
import json
import os
import re
import socket
import sys
import unittest


class Answer:
    def __init__(self, status, headers, body):
        self.status = status
        self.headers = headers  # lower-case name -> value (last wins)
        self.body = body

    def json(self):
        return json.loads(self.body.decode("utf-8"))

    def __repr__(self):
        return "Answer(%r, %r)" % (self.status, self.body[:200])


# ---- the answer log ------------------------------------------------------------

API_PREFIX = "/q/v1/"
REQUEST_LINE = re.compile(rb"([A-Z]+) (\S+) HTTP/1\.[01]\r\n")
_answer_source = os.path.basename(sys.argv[0]) or "python"


def record_answers_as(source):
    """Names the test (or script) that the answers recorded from now on belong to."""
    global _answer_source
    _answer_source = source


class RecordedTest(unittest.TestCase):
    """A test whose answers are recorded under its own name."""

    def setUp(self):
        record_answers_as(self.id())


def record_answer(method, target, status, body):
    """Appends one answer to KS_ANSWER_LOG. Each line goes out in one write to a
    file opened for appending, so several threads and processes may record at once."""
    log = os.environ.get("KS_ANSWER_LOG")
    if not log or not target.startswith(API_PREFIX):
        return
    record = {"method": method, "path": target, "status": status,
              "body": body.decode("utf-8", errors="replace"), "source": _answer_source}
    line = (json.dumps(record) + "\n").encode("utf-8")
    descriptor = os.open(log, os.O_WRONLY | os.O_APPEND | os.O_CREAT, 0o644)
    try:
        os.write(descriptor, line)
    finally:
        os.close(descriptor)


def build_request(method, target, host, headers=None, body=b""):
    lines = ["%s %s HTTP/1.1" % (method, target)]
    if host is not None:
        lines.append("Host: " + host)
    for name, value in (headers or {}).items():
        lines.append("%s: %s" % (name, value))
    if body or method == "POST":
        lines.append("Content-Length: %d" % len(body))
    return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1") + body


def read_answer(sock):
    """Reads one response; None when the server closed without answering."""
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = sock.recv(65536)
        if not chunk:
            return None
        data += chunk
    head, _, rest = data.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    status = int(lines[0].split(" ")[1])
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(":")
        headers[name.strip().lower()] = value.strip()
    length = int(headers.get("content-length", "0"))
    while len(rest) < length:
        chunk = sock.recv(65536)
        if not chunk:
            break
        rest += chunk
    return Answer(status, headers, rest[:length])


def exchange(port, raw, timeout=15, record=True):
    """Sends raw bytes on a fresh connection and reads one answer (or None). The answer
    is recorded when the request line is well-formed, unless `record` is False (for a
    request that is deliberately outside the API)."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as sock:
        sock.sendall(raw)
        try:
            answer = read_answer(sock)
        except ConnectionResetError:
            return None
    request_line = REQUEST_LINE.match(raw)
    if answer is not None and record and request_line:
        method, target = (part.decode("latin-1") for part in request_line.groups())
        record_answer(method, target, answer.status, answer.body)
    return answer


def call(port, method, target, headers=None, body=b"", host=None, timeout=15, record=True):
    """One well-formed request naming the host's own address unless `host` says otherwise.
    `record=False` keeps a request that is deliberately outside the API out of the answer log."""
    if isinstance(body, (dict, list)):
        body = json.dumps(body).encode()
    all_headers = {"Content-Type": "application/json"}
    all_headers.update(headers or {})
    raw = build_request(method, target, host or "127.0.0.1:%d" % port, all_headers, body)
    return exchange(port, raw, timeout, record)


def closed_by_peer(sock, timeout):
    """True when the server closes the connection (or resets it) within `timeout`."""
    sock.settimeout(timeout)
    try:
        while True:
            chunk = sock.recv(65536)
            if not chunk:
                return True
    except (ConnectionResetError, BrokenPipeError):
        return True
    except socket.timeout:
        return False


# ---- kept-alive clients and the form of the plug-in's answers -------------------

class Malformed(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Malformed(what)


def json_body(response, raw, what):
    """The JSON document of an answer that must be one (http.client response and body)."""
    check(response.getheader("Content-Type", "").startswith("application/json"),
          "%s: Content-Type %r" % (what, response.getheader("Content-Type")))
    try:
        return json.loads(raw)
    except ValueError:
        raise Malformed("%s: body is not JSON: %r" % (what, raw[:120]))


def is_error_document(document):
    error = document.get("error") if isinstance(document, dict) else None
    return isinstance(error, dict) and isinstance(error.get("description"), str)


class KeptAlive:
    """One kept-alive connection to the host, reopened when the host closes it
    (it closes a connection after a number of requests or an idle while)."""

    def __init__(self, port, timeout=30):
        self.connection = http.client.HTTPConnection("127.0.0.1", port, timeout=timeout)

    def send(self, method, target, headers, body=None):
        """One request; returns (response, body bytes). Retries once on a closed connection."""
        for attempt in (1, 2):
            try:
                self.connection.request(method, target, body=body, headers=headers)
                response = self.connection.getresponse()
                raw = response.read()
                record_answer(method, target, response.status, raw)
                return response, raw
            except (http.client.RemoteDisconnected, ConnectionResetError, BrokenPipeError):
                self.connection.close()
                if attempt == 2:
                    raise
        raise AssertionError("unreachable")

    def close(self):
        self.connection.close()


def verdict(check, problems):
    """Prints each problem and the check's verdict; returns its exit status."""
    for problem in problems:
        print("FAIL: " + problem)
    print("%s %s" % (check, "failed" if problems else "passed"))
    return 1 if problems else 0
