"""The status server against a stand-in frame loop on a loopback port: content types,
the Prometheus exposition read by Prometheus' own parser, counters that follow keys
and panel replies, the token's gate on actions, paths that do not exist, and the limits
on request size, connections and time."""

import json
import os
import socket
import struct
import tempfile
import time

from feeder_support import TOKEN, Feeder, arguments, check, require_modules, token_file, wait_until

require_modules("prometheus_client")
from prometheus_client.parser import text_string_to_metric_families  # noqa: E402

REQUIRED = {
    "velmora_up": "gauge", "velmora_build_info": "gauge", "velmora_uptime_seconds": "gauge",
    "velmora_frames": "counter", "velmora_frames_late": "counter", "velmora_frame_period_seconds": "histogram",
    "velmora_firings": "counter", "velmora_interactions": "counter", "velmora_resets": "counter",
    "velmora_speed_setting": "gauge", "velmora_weight": "gauge", "velmora_panel_connected": "gauge",
    "velmora_midi_output_ok": "gauge", "velmora_display_losses": "counter",
}


def metrics(feeder):
    status, content_type, body, _ = feeder.get("/metrics")
    assert status == 200
    families = {family.name: family for family in text_string_to_metric_families(body.decode())}
    return content_type, families


def sample(families, family, labels=None, suffix=""):
    for s in families[family].samples:
        if s.name == family + suffix and (labels is None or s.labels == labels):
            return s.value
    raise KeyError(family, labels)


def endpoints(feeder):
    content_type, families = metrics(feeder)
    check(content_type.startswith("text/plain; version=0.0.4"), "/metrics is Prometheus text " + content_type)
    missing = [name for name, kind in REQUIRED.items() if families.get(name) is None or families[name].type != kind]
    check(not missing, f"every required metric family with its type (missing or mistyped: {missing})")
    check({s.labels["soma"] for s in families["velmora_firings"].samples} == {"1", "2", "3"}, "firings by soma 1..3")
    check({s.labels["synapse"] for s in families["velmora_weight"].samples} == set("123456"), "weights 1..6")
    check({s.labels["source"] for s in families["velmora_interactions"].samples} == {"keyboard", "panel", "touch"},
          "interactions by keyboard, panel and touch")
    check({"idle", "periodic", "key", "panel"} <= {s.labels["cause"] for s in families["velmora_resets"].samples},
          "resets by idle, periodic, key and panel")
    buckets = [s for s in families["velmora_frame_period_seconds"].samples if s.name.endswith("_bucket")]
    check(buckets[-1].labels["le"] == "+Inf" and all(a.value <= b.value for a, b in zip(buckets, buckets[1:])),
          "the frame-period histogram's buckets are cumulative up to +Inf")
    check(sample(families, "velmora_build_info", {"version": "test"}) == 1, "build_info carries the version")

    status, content_type, body, response = feeder.get("/")
    check(status == 200 and content_type.startswith("text/html") and b"Velmora status" in body,
          "/ is the HTML status page")
    check("frame-ancestors 'none'" in (response.getheader("Content-Security-Policy") or ""),
          "the page forbids framing and outside scripts")
    status, content_type, body, _ = feeder.get("/status")
    check(status == 200 and content_type == "application/json", "/status is JSON")
    state = wait_until(lambda: (lambda s: s if s["frames"] else None)(json.loads(feeder.get("/status")[2])),
                       "/status shows the first frame")
    check(state["startup_messages"] == ["Can not open serial port!"], "/status lists the start-up messages")
    check({o["name"] for o in state["options"]} >= {"--status-listen", "--usage-db"}, "/status lists the options")
    check(state["health"] == {"display": True, "midi_output": True, "panel": True}, "/status shows the health")
    status, content_type, body, _ = feeder.get("/frame.png?t=1")
    width, height = struct.unpack(">II", body[16:24])
    check(status == 200 and content_type == "image/png" and body[:8] == b"\x89PNG\r\n\x1a\n"
          and (width, height) == (1024, 768), "/frame.png is the 1024 x 768 picture")


def counters_follow_the_exhibit(feeder):
    feeder.send("key weight1+", "key weight1+", "key weight1+", "panel speed", "panel speed",
                "reset idle", "health panel 0")
    families = wait_until(lambda: (lambda f: f if sample(f, "velmora_interactions", {"source": "panel"},
                                                         "_total") == 2 else None)(metrics(feeder)[1]),
                          "interaction counters move")
    check(sample(families, "velmora_interactions", {"source": "keyboard"}, "_total") == 3, "3 key presses counted")
    check(sample(families, "velmora_resets", {"cause": "idle"}, "_total") == 1, "the idle reset counted")
    check(sample(families, "velmora_weight", {"synapse": "1"}) == 9, "the weight raised three times")
    check(sample(families, "velmora_panel_connected") == 0, "the panel's loss shows")
    check(sample(families, "velmora_frames", None, "_total") > 0, "frames are counted")


def actions_need_the_token(feeder):
    before = json.loads(feeder.get("/status")[2])
    for headers, what in (({}, "no token"), ({"Authorization": "Bearer " + TOKEN[:-1] + "X"}, "a wrong token"),
                          ({"Authorization": "Basic " + TOKEN}, "another scheme")):
        status, _, _, response = feeder.request("POST", "/reset", headers)
        check(status == 401 and response.getheader("WWW-Authenticate", "").startswith("Bearer"),
              f"/reset with {what} is refused with 401")
    after = json.loads(feeder.get("/status")[2])
    check(after["weights"] == before["weights"] and after["resets"]["remote"] == 0, "a refused reset changes nothing")

    authorised = {"Authorization": "Bearer " + TOKEN}
    status, _, body, _ = feeder.request("POST", "/reset", authorised)
    check(status == 200 and body == b"done\n", "/reset with the token is done")
    feeder.expect("applied reset")
    wait_until(lambda: (lambda s: s["weights"] == [6] * 6 and s["resets"]["remote"] == 1)(
        json.loads(feeder.get("/status")[2])), "the reset brought the defaults back")
    for path, line in (("/stimulus/1", "applied stimulus1"), ("/stimulus/2", "applied stimulus2"),
                       ("/test-note", "applied test-note")):
        check(feeder.request("POST", path, authorised)[0] == 200, f"{path} with the token is done")
        feeder.expect(line)


def only_listed_paths(feeder):
    for method, path in (("GET", "/nothing"), ("GET", "/reset"), ("POST", "/metrics"), ("GET", "/frame.png.bak"),
                         ("GET", "/framexpng"), ("DELETE", "/status")):
        check(feeder.request(method, path)[0] in (404, 405), f"{method} {path} does not exist")


def send_raw(port, data, read=True):
    with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
        try:
            s.sendall(data)
        except (BrokenPipeError, ConnectionResetError):
            pass
        if not read:
            return b""
        try:
            return s.recv(65536)
        except ConnectionResetError:
            return b""


def limits(feeder):
    huge_header = b"GET /metrics HTTP/1.1\r\nX-Filler: " + b"a" * (10 * 1024 * 1024) + b"\r\n\r\n"
    started = time.monotonic()
    answer = send_raw(feeder.port, huge_header)
    check(answer == b"" or answer.startswith(b"HTTP/1.1 400"), "a 10 MB header is refused, not read")
    check(feeder.get("/metrics")[0] == 200, f"the server answers after it ({time.monotonic() - started:.1f} s)")
    answer = send_raw(feeder.port, b"POST /reset HTTP/1.1\r\nContent-Length: 100000000\r\n\r\n" + b"x" * 65536)
    check(answer == b"" or answer.split(b" ")[1] in (b"400", b"413"), "a 100 MB body is refused")

    # Slow clients hold every connection: the next one is turned away at once, and the
    # held ones are dropped at the request deadline.
    held = []
    for _ in range(100):
        s = socket.create_connection(("127.0.0.1", feeder.port), timeout=10)
        s.sendall(b"GET /metrics HTTP/1.1\r\n")
        held.append(s)
    refused = send_raw(feeder.port, b"GET /metrics HTTP/1.1\r\n\r\n")
    check(refused.startswith(b"HTTP/1.1 503"), "beyond the connection limit a client gets 503 at once")
    wait_until(lambda: feeder.get("/metrics")[0] == 200, "the slow clients are dropped at the deadline", 20)
    for s in held:
        s.close()

    # A client that trickles its request one byte at a time is cut off at the deadline.
    with socket.create_connection(("127.0.0.1", feeder.port), timeout=10) as s:
        started = time.monotonic()
        try:
            for byte in b"GET /metrics HTTP/1.1\r\nX: " + b"y" * 1000:
                s.sendall(bytes([byte]))
                time.sleep(0.05)
            closed = False
        except (BrokenPipeError, ConnectionResetError):
            closed = True
        check(closed, f"a trickling client is cut off ({time.monotonic() - started:.1f} s)")


def main():
    args = arguments()
    with tempfile.TemporaryDirectory() as folder:
        feeder = Feeder(args.feeder, "--token-file", token_file(folder), "--max-connections", "8",
                        "--request-timeout-ms", "1000", "--response-timeout-ms", "1000")
        check(feeder.port is not None, f"the status server listens on port {feeder.port}")
        endpoints(feeder)
        counters_follow_the_exhibit(feeder)
        actions_need_the_token(feeder)
        only_listed_paths(feeder)

        # A second exhibit cannot have the port: it says so once and runs on.
        second = Feeder(args.feeder, "--listen", f"127.0.0.1:{feeder.port}")
        check(second.port is None, "a port in use is reported")
        check(second.quit().startswith("frames "), "the exhibit runs on without the server")

        limits(feeder)
        print(feeder.quit())

        # No token, or a token others may read: no actions at all.
        for extra, what in (([], "without a token"), (["--token-file", token_file(folder, 0o644)], "with an open token file")):
            feeder = Feeder(args.feeder, *extra)
            check(feeder.request("POST", "/reset", {"Authorization": "Bearer " + TOKEN})[0] == 404,
                  f"/reset does not exist {what}")
            check(json.loads(feeder.get("/status")[2])["actions"] is False, f"/status says no actions {what}")
            feeder.quit()


if __name__ == "__main__":
    main()
