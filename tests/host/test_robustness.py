"""The reference host at its loopback door: refusals that never reach the
plug-in, hostile or broken HTTP, oversized requests, slow and vanishing
clients, and a clean shutdown with requests in flight."""

import concurrent.futures
import socket
import struct
import subprocess
import threading
import time
import unittest
import uuid

from host_process import HostProcess, correlation_id, host_binary
from http_wire import RecordedTest, build_request, call, closed_by_peer, exchange, read_answer

FOREIGN_ORIGIN = "https://evil.example"


def probe():
    """A marker that can only appear in the plug-in's log if the request reached it."""
    return "probe" + uuid.uuid4().hex


class DoorTest(RecordedTest):
    """One host for the read-mostly checks."""

    @classmethod
    def setUpClass(cls):
        cls.host = HostProcess()
        cls.host.start()
        cls.port = cls.host.port

    @classmethod
    def tearDownClass(cls):
        code = cls.host.stop()
        cls.host.__exit__(None, None, None)
        if code != 0:
            raise AssertionError("host exited with %r" % code)

    def assert_reached_plugin(self, marker, expected):
        # The plug-in writes its log lines before it answers, so by now they are there.
        reached = marker in self.host.plugin_log()
        self.assertEqual(reached, expected,
                         "marker %s %s the plug-in" % (marker, "missed" if expected else "reached"))

    def test_own_host_names_reach_the_plugin(self):
        for name in ("127.0.0.1", "localhost", "LOCALHOST", "[::1]"):
            with self.subTest(host=name):
                marker = probe()
                answer = call(self.port, "GET", "/q/v1/status/qav?" + marker,
                              host="%s:%d" % (name, self.port))
                self.assertEqual(answer.status, 200)
                self.assertIn("status", answer.json())
                self.assert_reached_plugin(marker, True)

    def test_foreign_host_is_refused_before_the_plugin(self):
        cases = {
            "rebinding name": "attacker.example:%d" % self.port,
            "other port": "127.0.0.1:%d" % (self.port + 1),
            "no port": "127.0.0.1",
            "name with our port as prefix": "127.0.0.1:%d0" % self.port,
            "lookalike": "localhost.attacker.example:%d" % self.port,
        }
        for label, host in cases.items():
            with self.subTest(label):
                marker = probe()
                answer = call(self.port, "POST", "/q/v1/frame/enrollment?" + marker,
                              headers={"Q-Correlation-Id": correlation_id()}, body={},
                              host=host)
                self.assertEqual(answer.status, 403)
                self.assertEqual(answer.json()["error"]["source"], "host")
                self.assert_reached_plugin(marker, False)

    def test_missing_or_doubled_host_is_refused(self):
        marker = probe()
        missing = exchange(self.port, build_request("GET", "/q/v1/status/qav?" + marker, None,
                                                    {"Content-Type": "application/json"}))
        doubled = exchange(self.port, build_request(
            "GET", "/q/v1/status/qav?" + marker, "127.0.0.1:%d" % self.port,
            {"Host": "attacker.example", "Content-Type": "application/json"}))
        self.assertEqual(missing.status, 403)
        self.assertEqual(doubled.status, 403)
        self.assert_reached_plugin(marker, False)

    def test_cross_site_post_is_refused_and_changes_nothing(self):
        setting = "/q/v1/settings?id=BCA_FACE_INDICATOR_COLOR"
        before = call(self.port, "GET", setting).json()
        for origin in (FOREIGN_ORIGIN, "null", "http://127.0.0.1:%d.evil.example" % self.port,
                       "https://app.keystead.com.evil.example"):
            with self.subTest(origin=origin):
                marker = probe()
                answer = call(self.port, "POST", "/q/v1/settings?" + marker,
                              headers={"Origin": origin, "Content-Type": "text/plain"},
                              body=b'{"Setting":{"id":"BCA_FACE_INDICATOR_COLOR","value":"2"}}')
                self.assertEqual(answer.status, 403)
                self.assert_reached_plugin(marker, False)
        self.assertEqual(call(self.port, "GET", setting).json(), before)

    def test_reads_and_preflights_from_a_foreign_origin_reach_the_plugin(self):
        # They change nothing; the plug-in's CORS answer keeps the data from that page.
        answer = call(self.port, "OPTIONS", "/q/v1/settings",
                      headers={"Origin": FOREIGN_ORIGIN, "Access-Control-Request-Method": "POST"})
        self.assertEqual(answer.status, 200)
        # Only the plug-in writes a CORS block; it names one of its own origins.
        self.assertIn("access-control-allow-methods", answer.headers)
        self.assertNotEqual(answer.headers["access-control-allow-origin"], FOREIGN_ORIGIN)

    def test_allowed_origins_may_post(self):
        for origin in ("https://app.keystead.com", "http://127.0.0.1:%d" % self.port,
                       "http://localhost:%d" % self.port):
            with self.subTest(origin=origin):
                marker = probe()
                answer = call(self.port, "POST", "/q/v1/bca/settings?" + marker,
                              headers={"Origin": origin}, body={})
                self.assertEqual(answer.status, 200, answer)
                self.assert_reached_plugin(marker, True)

    def test_domain_suffix_origin_is_allowed_once_registered(self):
        # The stand-in engine's cloud suffix is ".beta"; the plug-in registers it
        # with the host on its first local operation.
        call(self.port, "GET", "/q/v1/devices/video")
        self.assertTrue(self.host.wait_for_output("KS_CSP_DOMAIN_SUFIX/.beta"))
        answer = call(self.port, "POST", "/q/v1/bca/settings",
                      headers={"Origin": "https://login.keystead.beta"}, body={})
        self.assertEqual(answer.status, 200)

    def test_plugin_callbacks_and_header_lines_pass_through_the_host(self):
        output = "\n".join(self.host.output_lines())
        self.assertIn("plug-in path: q/v1/frame/enrollment", output)
        self.assertIn("plug-in announced 22 paths", output)

        revoked = call(self.port, "POST", "/q/v1/revoke", headers={"x-jwstoken": "rat-123"},
                       body={})
        self.assertEqual(revoked.status, 200)
        self.assertEqual(revoked.json(), {"response": "RevokeRat successful."})
        self.assertTrue(self.host.wait_for_output("revoked a RAT of 7 characters"))

        # The plug-in's own extra header lines reach the client.
        authenticated = call(self.port, "POST", "/q/v1/authenticate",
                             headers={"x-jwstoken": "rat-456"}, body={})
        self.assertEqual(authenticated.status, 200)
        self.assertEqual(authenticated.headers["access-control-expose-headers"], "x-jwstoken")
        self.assertTrue(authenticated.headers["x-jwstoken"])

    def test_paths_outside_the_plugin_and_page_are_404_here(self):
        for target in ("/q/v2/status/qav", "/status/qav", "/q/v1", "/../q/v1/status/qav",
                       "/index.htm", "/web/app.js"):
            with self.subTest(target=target):
                marker = probe()
                answer = call(self.port, "GET", target + "?" + marker)
                self.assertEqual(answer.status, 404)
                self.assert_reached_plugin(marker, False)

    def test_unmatched_plugin_path_is_answered_400_by_the_plugin(self):
        answer = call(self.port, "GET", "/q/v1/no/such/path", record=False)
        self.assertEqual(answer.status, 400)
        self.assertEqual(answer.json()["error"]["description"], "Plugin Generic Error")

    def test_page_is_served_with_its_files(self):
        for target, kind in (("/", "text/html"), ("/app.js", "text/javascript"),
                             ("/style.css", "text/css")):
            with self.subTest(target=target):
                answer = call(self.port, "GET", target)
                self.assertEqual(answer.status, 200)
                self.assertTrue(answer.headers["content-type"].startswith(kind))
                self.assertIn("frame-ancestors 'none'", answer.headers["content-security-policy"])

    def test_malformed_requests_get_an_error_and_the_host_carries_on(self):
        host = "Host: 127.0.0.1:%d\r\n" % self.port
        cases = {
            "garbage": b"\x00\xff\xfe garbage \r\n\r\n",
            "no version": b"GET /q/v1/status/qav\r\n" + host.encode() + b"\r\n",
            "unknown method": b"BREW /q/v1/status/qav HTTP/1.1\r\n" + host.encode() + b"\r\n",
            "bad version": b"GET / HTTP/9.9\r\n" + host.encode() + b"\r\n",
            "bad content length": b"POST /q/v1/settings HTTP/1.1\r\n" + host.encode() +
                                  b"Content-Length: -5\r\n\r\n",
            "bad chunk": b"POST /q/v1/settings HTTP/1.1\r\n" + host.encode() +
                         b"Transfer-Encoding: chunked\r\n\r\nZZ\r\nxx\r\n0\r\n\r\n",
            "zero byte in a header": b"GET /q/v1/status/qav HTTP/1.1\r\n" + host.encode() +
                                     b"Content-Type: application/json\r\nX-A: a\x00b\r\n\r\n",
        }
        for label, raw in cases.items():
            with self.subTest(label):
                answer = exchange(self.port, raw, record=False)
                if answer is not None:
                    self.assertGreaterEqual(answer.status, 400, answer)
                    self.assertLess(answer.status, 500, answer)
        self.assertEqual(call(self.port, "GET", "/q/v1/status/qav").status, 200)

    def test_unusable_content_length_is_refused_at_once(self):
        host = "Host: 127.0.0.1:%d\r\n" % self.port
        for length in (b"-5", b"5x", b"0x10", b"5\r\nContent-Length: 6"):
            with self.subTest(length=length):
                answer = exchange(self.port, b"POST /q/v1/settings HTTP/1.1\r\n" + host.encode() +
                                  b"Content-Length: " + length + b"\r\n\r\n")
                self.assertEqual(answer.status, 400, answer)
                self.assertIn(b"Content-Length", answer.body)

    def test_oversized_requests_are_cut_short(self):
        host = "127.0.0.1:%d" % self.port
        long_line = build_request("GET", "/q/v1/status/qav", host, {"X-Big": "a" * 100000})
        long_target = build_request("GET", "/q/v1/status/qav?" + "a" * 20000, host)
        many_lines = build_request("GET", "/q/v1/status/qav", host,
                                   {"X-Many-%d" % i: "b" * 100 for i in range(600)})
        self.assertEqual(exchange(self.port, long_line).status, 400)
        self.assertEqual(exchange(self.port, long_target).status, 414)
        self.assertEqual(exchange(self.port, many_lines).status, 431)

    def test_endless_headers_and_bodies_are_cut_at_the_budget(self):
        host = "127.0.0.1:%d" % self.port
        heads = {
            "endless header lines": build_request("GET", "/q/v1/status/qav", host)[:-2],
            "endless chunked body": (
                "POST /q/v1/settings HTTP/1.1\r\nHost: %s\r\nContent-Type: application/json\r\n"
                "Transfer-Encoding: chunked\r\n\r\n" % host).encode(),
            "declared huge body": build_request("POST", "/q/v1/settings", host)[:-2].replace(
                b"Content-Length: 0", b"Content-Length: 52428800") + b"\r\n",
        }
        filler = {
            "endless header lines": b"X-Filler: " + b"c" * 1000 + b"\r\n",
            "endless chunked body": b"3e8\r\n" + b"d" * 1000 + b"\r\n",
            "declared huge body": b"e" * 1000,
        }
        for label, head in heads.items():
            with self.subTest(label), self.host.connect() as sock:
                rss_before = self.host.rss_kib()
                sock.sendall(head)
                sent = 0
                try:
                    while sent < 32 * 1024 * 1024:  # far past any limit of the host
                        sock.sendall(filler[label] * 64)
                        sent += len(filler[label]) * 64
                except (BrokenPipeError, ConnectionResetError):
                    pass
                self.assertLess(sent, 32 * 1024 * 1024, "the host kept reading")
                self.assertLess(self.host.rss_kib() - rss_before, 16 * 1024)
        self.assertEqual(call(self.port, "GET", "/q/v1/status/qav").status, 200)

    def test_silent_and_dripping_clients_are_timed_out(self):
        def silent():
            with self.host.connect() as sock:
                sock.sendall(b"GET /q/v1/status/qav HTTP/1.1\r\n")
                started = time.monotonic()
                closed = closed_by_peer(sock, 15)
                return closed, time.monotonic() - started

        def dripping():
            with self.host.connect() as sock:
                started = time.monotonic()
                sock.sendall(b"GET /q/v1/status/qav HTTP/1.1\r\nHost: 127.0.0.1\r\n")
                try:
                    while time.monotonic() - started < 20:
                        sock.sendall(b"X-Drip: 1\r\n")
                        time.sleep(0.5)
                except (BrokenPipeError, ConnectionResetError):
                    return True, time.monotonic() - started
                return closed_by_peer(sock, 1), time.monotonic() - started

        with concurrent.futures.ThreadPoolExecutor(2) as pool:
            silent_result, drip_result = pool.submit(silent), pool.submit(dripping)
            closed, seconds = silent_result.result()
            self.assertTrue(closed)
            self.assertLess(seconds, 8)
            closed, seconds = drip_result.result()
            self.assertTrue(closed)
            self.assertLess(seconds, 13)

    def test_clients_vanishing_mid_poll_leave_no_thread_stuck(self):
        def vanish():
            with self.host.connect() as sock:
                sock.sendall(build_request(
                    "POST", "/q/v1/frame/enrollment", "127.0.0.1:%d" % self.port,
                    {"Content-Type": "application/json", "Q-Correlation-Id": correlation_id()},
                    b"{}"))
                time.sleep(0.3)
                # An abortive close: the host finds out only when it answers.
                sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))

        threads = [threading.Thread(target=vanish) for _ in range(12)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        # Every pool thread must come back: 32 quick requests at once all answer.
        with concurrent.futures.ThreadPoolExecutor(32) as pool:
            answers = list(pool.map(lambda _: call(self.port, "GET", "/q/v1/status/qav", timeout=10),
                                    range(32)))
        self.assertTrue(all(answer and answer.status == 200 for answer in answers))
        stop = call(self.port, "POST", "/q/v1/frame/stop",
                    headers={"Q-Correlation-Id": "QCID_FORCE_STOP_________________________QCID"},
                    body={})
        self.assertIn(stop.status, (200, 500))


class DeviceAuthenticatedTest(RecordedTest):
    def test_engine_notice_is_printed_by_the_host(self):
        scenario = {"timelines": {"enrollment": [
            {"type": "deviceAuthenticated", "afterMs": 100, "first": "sim-phone-01",
             "second": "alex.morgan@example.com"}]}}
        with HostProcess(scenario=scenario) as host:
            identity = correlation_id()
            call(host.port, "POST", "/q/v1/frame/enrollment",
                 headers={"Q-Correlation-Id": identity}, body={})
            expected = "device authenticated: sim-phone-01 | alex.morgan@example.com"
            self.assertTrue(host.wait_for_output(expected), "\n".join(host.output_lines()))
            call(host.port, "POST", "/q/v1/frame/stop",
                 headers={"Q-Correlation-Id": identity}, body={})


class ShutdownTest(RecordedTest):
    def test_sigterm_lets_a_poll_in_flight_finish_then_finalises(self):
        with HostProcess() as host:
            with host.connect(timeout=20) as sock:
                sock.sendall(build_request(
                    "POST", "/q/v1/frame/enrollment", host.host_header,
                    {"Content-Type": "application/json", "Q-Correlation-Id": correlation_id()},
                    b"{}"))
                time.sleep(0.3)
                host.process.send_signal(15)
                answer = read_answer(sock)
            self.assertIsNotNone(answer)
            self.assertEqual(answer.status, 200)
            code, lines = host.exit_code_and_output()
            self.assertEqual(code, 0)
            output = "\n".join(lines)
            self.assertIn("SIGTERM received", output)
            self.assertIn("plug-in finalised", output)

    def test_idle_kept_alive_connections_do_not_delay_shutdown(self):
        with HostProcess() as host:
            sockets = []
            for _ in range(5):
                sock = host.connect()
                sock.sendall(build_request("GET", "/q/v1/camera/status", host.host_header,
                                           {"Content-Type": "application/json"}))
                self.assertEqual(read_answer(sock).status, 200)
                sockets.append(sock)
            started = time.monotonic()
            self.assertEqual(host.stop(), 0)
            self.assertLess(time.monotonic() - started, 3)
            for sock in sockets:
                sock.close()

    def test_port_in_use_is_reported(self):
        with HostProcess() as first:
            result = subprocess.run([host_binary(), "--port", str(first.port)],
                                    capture_output=True, text=True, timeout=20, env=first.env)
        self.assertEqual(result.returncode, 1)
        self.assertIn("cannot listen on 127.0.0.1:%d" % first.port, result.stderr)


if __name__ == "__main__":
    unittest.main()
