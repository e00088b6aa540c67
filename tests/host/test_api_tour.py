"""Every route of the plug-in once through the host, with the stand-in engine:
its usual answers, its refusals of bad input and, in a second engine scripted
to fail, its failures. The tests check the statuses; with KS_ANSWER_LOG set
they record every answer, and tests/host/api-check.mjs then holds each body to
the API description (web/openapi.json)."""

import time
import unittest

from host_process import HostProcess, correlation_id
from http_wire import RecordedTest, call

# Small frames keep the recorded answers small.
SMALL_CAMERA = {"camera": {"width": 32, "height": 24, "fps": 15}}
FORCE_STOP = "QCID_FORCE_STOP_________________________QCID"
RAT = {"x-jwstoken": "rat-tour"}
ID_TOKEN = {"x-idToken": "id-token-tour"}
EMAIL = "alex.morgan@example.com"


class Tour(RecordedTest):
    """One host running the stand-in engine with `scenario`."""

    scenario = {}

    @classmethod
    def setUpClass(cls):
        cls.host = HostProcess(scenario=dict(SMALL_CAMERA, **cls.scenario))
        cls.host.start()

    @classmethod
    def tearDownClass(cls):
        cls.host.__exit__(None, None, None)

    def call(self, method, path, headers=None, body=b""):
        return call(self.host.port, method, "/q/v1" + path, headers=headers, body=body)

    def assert_statuses(self, cases):
        """cases: (method, path, headers, body, expected status)."""
        for method, path, headers, body, status in cases:
            with self.subTest(method=method, path=path, body=body):
                self.assertEqual(self.call(method, path, headers, body).status, status)

    def poll(self, path, headers, body, done, seconds=20):
        """Polls `path` with one correlation id until `done(document)`; then stops the
        capture. Returns the answers' documents."""
        identity = correlation_id()
        headers = dict(headers, **{"Q-Correlation-Id": identity})
        documents = []
        deadline = time.monotonic() + seconds
        try:
            while time.monotonic() < deadline:
                answer = self.call("POST", path, headers, body)
                self.assertEqual(answer.status, 200, answer)
                documents.append(answer.json())
                if done(documents[-1]):
                    return documents
            self.fail("no result from %s within %d s: %r" % (path, seconds, documents[-3:]))
        finally:
            self.call("POST", "/frame/stop", {"Q-Correlation-Id": FORCE_STOP}, {})


def is_match_result(document):
    return isinstance(document.get("nextStep"), int)


class EngineAnswersTour(Tour):
    def test_service_routes(self):
        self.assert_statuses([
            ("GET", "/status/qav", None, b"", 200),
            ("GET", "/status/deviceid", None, b"", 200),
            ("GET", "/camera/status", None, b"", 200),
            ("GET", "/devices/video", None, b"", 200),
            ("POST", "/devices/video", None, {"name": "Keystead Virtual Camera"}, 200),
            ("POST", "/devices/video", None, {"name": "No Such Camera"}, 500),
            ("POST", "/devices/video", None, {"id": "one", "name": "Keystead Virtual Camera"}, 500),
            ("POST", "/devices/video", None, b"not json", 500),
            ("GET", "/settings?id=BCA_PREVIEW_TYPE", None, b"", 200),
            ("GET", "/settings", None, b"", 200),
            ("POST", "/settings", None, {"Setting": {"id": "KS_TOUR", "value": "1"}}, 200),
            ("POST", "/settings", None, b"not json", 500),
            ("POST", "/bca/settings", None, {"faceIndicatorColor": 1, "previewType": 0}, 200),
            ("POST", "/bca/settings", None, {"previewType": "dots"}, 500),
            ("POST", "/authenticate", RAT, {}, 200),
            ("POST", "/authenticate", None, {}, 403),
            ("POST", "/revoke", RAT, {}, 200),
            ("POST", "/revoke", None, {}, 500),
            ("POST", "/signpacket", None, {"data": {"userData": {}}}, 200),
            ("POST", "/signpacket", {"Q-Correlation-Id": "QCID" + "x" * 35 + "QCID"}, {}, 500),
            ("POST", "/devicecontext", None, {}, 200),
            ("GET", "/csp/servers", None, b"", 200),
            ("GET", "/users/remote?email=" + EMAIL.replace("@", "%40"), None, b"", 200),
            ("POST", "/sync", None, {"operation": "login", "email": EMAIL}, 200),
            ("POST", "/sync", None, {"operation": "dance"}, 400),
            ("POST", "/sync", None, b"5", 400),
            ("POST", "/tm", None, {"event_list": [{"eventid": 42, "event_data": {"a": 1}}]}, 200),
            ("POST", "/tm", None, {"event_list": []}, 400),
            ("GET", "/vsu/account", None, b"", 500),
            ("POST", "/vsu/notifychange", None, {"appId": "a", "email": ""}, 400),
            ("POST", "/vsu/notifychange", None, {"appId": "a", "email": EMAIL}, 500),
        ])

    def test_second_factor_routes(self):
        self.assert_statuses([
            ("POST", "/fingerprint/addfactor", ID_TOKEN, {"email": EMAIL}, 200),
            ("POST", "/fingerprint/addfactor", None, {"email": EMAIL}, 400),
            ("POST", "/fingerprint/addfactor", ID_TOKEN, b"not json", 400),
            ("POST", "/fingerprint/authenticate", None, {"email": EMAIL, "nonce": "n"}, 200),
            ("POST", "/fingerprint/authenticate", None, b"[]", 400),
            ("POST", "/ca/getnewpaireddevices", None, {"devices": []}, 200),
            ("POST", "/ca/getnewpaireddevices", None, b"[]", 500),
            ("POST", "/ca/getnewpaireddevices", None, b"not json", 400),
            ("POST", "/ca/adddevice", ID_TOKEN, {"email": EMAIL, "proximityDevice": {"id": 1}}, 200),
            ("POST", "/ca/adddevice", None, {"email": EMAIL}, 400),
            ("POST", "/ca/authenticate", None, {"email": EMAIL}, 200),
            ("POST", "/ca/logout", None, {}, 200),
        ])

    def test_capture_routes_poll_to_their_results(self):
        enrollment = self.poll("/frame/enrollment", {}, {},
                               lambda document: document.get("data", {}).get("processed"))
        self.assertTrue(any("frames" in document.get("data", {}) for document in enrollment[:-1]))
        self.poll("/frame/match", {"Caller": "REMOTE_PSI_25", "StreamType": "COORDS"}, {},
                  is_match_result)
        self.poll("/frame/match", {"Caller": "LOCAL"}, {"userData": {"email": EMAIL}},
                  is_match_result)
        self.poll("/frame/trymatch", ID_TOKEN, {}, is_match_result)
        self.poll("/frame/adddevice", {"Liveness": "NONE"}, {"userData": {"oTransId": "t-1"}},
                  is_match_result)

    def test_capture_refusals(self):
        self.assert_statuses([
            ("POST", "/frame/enrollment", {"Q-Correlation-Id": "QCID-short-QCID"}, {}, 500),
            ("POST", "/frame/trymatch", {"Q-Correlation-Id": correlation_id()}, {}, 500),
            ("POST", "/frame/stop", {"Q-Correlation-Id": correlation_id()}, {}, 500),
        ])


class EngineFailuresTour(Tour):
    scenario = {
        "results": {"ListCloudServers": 5, "ListRemoteUsers": 5, "SignPacket": 7,
                    "RemoteSessionSync": 9, "ReportMetric": 9, "GetNewPairedDevices": 3,
                    "AuthenticateFingerprint": 1},
        "deviceContext": "not json",
        "fingerprintFactorStatus": 101,
        "matchResults": {
            "AuthenticateFingerprint": {"status": 0, "response": ""},
            "AddCADevice": {"status": 103, "response": ""},
            "AuthenticateWithCADevice": {
                "status": 7682,
                "response": {"ResponseResult": {"ErrorCode": "E1", "ErrorDescription": "No device"}}},
        },
    }

    def test_failures_of_the_engine_and_the_cloud(self):
        self.assert_statuses([
            ("GET", "/csp/servers", None, b"", 500),
            ("GET", "/users/remote", None, b"", 500),
            ("POST", "/signpacket", None, {}, 500),
            ("POST", "/devicecontext", None, {}, 500),
            ("POST", "/sync", None, {"operation": "ENROLL"}, 500),
            ("POST", "/tm", None, {"event_list": [{}]}, 500),
            ("POST", "/ca/getnewpaireddevices", None, {"devices": []}, 500),
            ("POST", "/fingerprint/addfactor", ID_TOKEN, {}, 500),
            ("POST", "/fingerprint/authenticate", None, {}, 500),
            ("POST", "/ca/adddevice", ID_TOKEN, {}, 500),
            ("POST", "/ca/authenticate", None, {}, 200),
        ])


class EngineNotReadyTour(Tour):
    scenario = {"readiness": {"local": False, "remote": False},
                "readinessAfterRetry": {"local": False, "remote": False}}

    def test_routes_needing_the_engine_are_refused_and_the_others_served(self):
        self.assert_statuses([
            ("GET", "/devices/video", None, b"", 500),
            ("POST", "/frame/match", {"Q-Correlation-Id": correlation_id()}, {}, 500),
            ("GET", "/status/qav", None, b"", 200),
        ])


if __name__ == "__main__":
    unittest.main()
