#!/usr/bin/env python3
"""A slow and hostile client of the exhibit's status server, to run beside
bench/measure_pacing.sh: the frame pacing must not change while it runs. For the given
number of seconds it keeps 100 connections open that trickle a request one byte a
second, sends 10 MB headers over and over, asks for the picture and reads the answer
one byte a second, and polls /metrics and /frame.png as fast as they answer. It talks
to the loopback interface only and stops by itself.

Usage: bench/hostile_status_client.py PORT [SECONDS]   (SECONDS 60 unless given)"""

import socket
import sys
import threading
import time

HOST = "127.0.0.1"
TRICKLING_CONNECTIONS = 100
HUGE_HEADER_BYTES = 10 * 1024 * 1024


def connect(port):
    try:
        return socket.create_connection((HOST, port), timeout=5)
    except OSError:
        return None


def trickle(port, until):
    """Many connections, each sending its request one byte a second; reopened when cut."""
    connections = [None] * TRICKLING_CONNECTIONS
    while time.monotonic() < until:
        for i, s in enumerate(connections):
            try:
                if s is None:
                    s = connections[i] = connect(port)
                if s is not None:
                    s.send(b"G")
            except OSError:
                connections[i] = None
        time.sleep(1.0)
    for s in connections:
        if s is not None:
            s.close()


def huge_headers(port, until, counts):
    header = b"GET /metrics HTTP/1.1\r\nX-Filler: " + b"a" * HUGE_HEADER_BYTES + b"\r\n\r\n"
    while time.monotonic() < until:
        s = connect(port)
        if s is None:
            continue
        try:
            s.sendall(header)
        except OSError:
            counts["huge refused"] += 1
        finally:
            s.close()


def slow_reader(port, until):
    while time.monotonic() < until:
        s = connect(port)
        if s is None:
            continue
        try:
            s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
            s.sendall(b"GET /frame.png HTTP/1.1\r\n\r\n")
            while time.monotonic() < until and s.recv(1):
                time.sleep(1.0)
        except OSError:
            pass
        finally:
            s.close()


def poll(port, until, counts):
    while time.monotonic() < until:
        for path in (b"/metrics", b"/frame.png"):
            s = connect(port)
            if s is None:
                continue
            try:
                s.sendall(b"GET " + path + b" HTTP/1.1\r\nConnection: close\r\n\r\n")
                answer = b""
                while chunk := s.recv(1 << 20):
                    answer += chunk
                counts["answers " + answer[9:12].decode(errors="replace")] += 1
            except OSError:
                counts["errors"] += 1
            finally:
                s.close()


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    port = int(sys.argv[1])
    seconds = float(sys.argv[2]) if len(sys.argv) == 3 else 60.0
    until = time.monotonic() + seconds
    counts = {"huge refused": 0, "errors": 0, **{f"answers {c}": 0 for c in ("200", "503", "400")}}
    threads = [threading.Thread(target=trickle, args=(port, until)),
               threading.Thread(target=huge_headers, args=(port, until, counts)),
               threading.Thread(target=slow_reader, args=(port, until)),
               threading.Thread(target=poll, args=(port, until, counts))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    print("hostile client: " + ", ".join(f"{name} {count}" for name, count in counts.items() if count))


if __name__ == "__main__":
    main()
