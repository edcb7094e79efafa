#!/usr/bin/env python3
"""The IP-echo page of the simulated network: answers GET /ic.asp on loopback.

Every request re-reads the state file, so tests switch behaviour between steps.
Two keys decide the answer (see sim/README.md):

  echo_network  which address the machine has on the internet:
                dialup (default)  the address of the connected simulated dial-up
                                  connection; none up: no network, the connection
                                  is closed without an answer
                router            echo_router_address, whatever RAS says
                none              no network: closed without an answer
  echo_mode     how the page answers once there is an address:
                normal (default), refuse, close, stall, slow, 404, 404-bracket,
                big, drop, page

Each request is logged as one JSON line: request line, method, path, version
and every header in order, plus what the server did with it.
"""

from __future__ import annotations

import argparse
import json
import os
import select
import socket
import socketserver
import struct
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from simstate import SimState, now_ms  # noqa: E402

DEFAULT_PORT = 18473
DEFAULT_ROUTER_ADDRESS = "203.0.113.7"
PAGE = "<html><body>您的IP是：[{address}] 来自：模拟网络</body></html>"
NOT_FOUND = "<html><body><h1>404 Not Found</h1>找不到网页</body></html>"
NOT_FOUND_BRACKET = "<html><body><h1>404 Not Found</h1>找不到网页 [{address}]</body></html>"


class EchoHandler(socketserver.StreamRequestHandler):
    timeout = 30  # reading the request

    def handle(self) -> None:
        request = self.read_request()
        if request is None:
            return
        state = SimState.load(self.server.state_path)
        network = state.get("echo_network", "dialup")
        mode = state.get("echo_mode", "normal")
        if network == "router":
            address = state.get("echo_router_address", DEFAULT_ROUTER_ADDRESS)
        elif network == "dialup":
            address = state.dialup_address()
        else:
            address = None
        if request["path"].split("?")[0] != "/ic.asp" and address is not None:
            mode = "404"
        answer = mode if address is not None else "close"
        self.server.log({**request, "network": network, "mode": mode, "address": address, "answer": answer})
        getattr(self, "answer_" + answer.replace("-", "_"), self.answer_close)(state, address or "")

    def read_request(self) -> dict | None:
        try:
            line = self.rfile.readline(65537)
            if not line:
                return None
            headers = []
            while True:
                header = self.rfile.readline(65537)
                if header in (b"\r\n", b"\n", b""):
                    break
                name, _, value = header.decode("latin-1").rstrip("\r\n").partition(":")
                headers.append([name, value.strip()])
        except (OSError, socket.timeout):
            return None
        request_line = line.decode("latin-1").rstrip("\r\n")
        parts = request_line.split(" ")
        return {
            "t": now_ms(),
            "client": "%s:%d" % self.client_address,
            "request_line": request_line,
            "method": parts[0] if parts else "",
            "path": parts[1] if len(parts) > 1 else "",
            "version": parts[2] if len(parts) > 2 else "",
            "headers": headers,
        }

    def send(self, status: str, body: bytes, content_length: bool = True, length: int | None = None) -> None:
        head = f"HTTP/1.0 {status}\r\nContent-Type: text/html; charset=gb2312\r\nConnection: close\r\n"
        if content_length:
            head += f"Content-Length: {len(body) if length is None else length}\r\n"
        self.wfile.write(head.encode("ascii") + b"\r\n" + body)
        self.wfile.flush()

    def answer_normal(self, state: SimState, address: str) -> None:
        self.send("200 OK", PAGE.format(address=address).encode("gbk"))

    def answer_slow(self, state: SimState, address: str) -> None:
        time.sleep(state.get_int("echo_delay_ms", 3000) / 1000)
        self.answer_normal(state, address)

    def answer_404(self, state: SimState, address: str) -> None:
        self.send("404 Not Found", NOT_FOUND.encode("gbk"))

    def answer_404_bracket(self, state: SimState, address: str) -> None:
        self.send("404 Not Found", NOT_FOUND_BRACKET.format(address=address).encode("gbk"))

    def answer_page(self, state: SimState, address: str) -> None:
        """A page of the test's own: echo_body_hex (raw bytes) or echo_body (text, sent as GBK)."""
        raw = state.get("echo_body_hex")
        body = bytes.fromhex(raw) if raw is not None else state.get("echo_body", "").replace("{address}", address).encode("gbk")
        self.send(state.get("echo_status", "200 OK"), body, state.get_int("echo_content_length", 1) != 0)

    def answer_big(self, state: SimState, address: str) -> None:
        size = state.get_int("echo_big_bytes", 4 * 1024 * 1024)
        head = PAGE.format(address=address).encode("gbk").replace(b"</body></html>", b"")
        tail = b"</body></html>"
        filler = (b"<p>" + b"x" * 1000 + b"</p>\n") * (max(0, size - len(head) - len(tail)) // 1008 + 1)
        body = head + filler[: max(0, size - len(head) - len(tail))] + tail
        self.send("200 OK", body, state.get_int("echo_content_length", 1) != 0)

    def answer_drop(self, state: SimState, address: str) -> None:
        body = PAGE.format(address=address).encode("gbk") + b"<p>" + b"y" * 4000 + b"</p>"
        cut = body.index(b"]") + 20
        head = (
            "HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=gb2312\r\n"
            f"Content-Length: {len(body)}\r\nConnection: close\r\n\r\n"
        )
        self.wfile.write(head.encode("ascii") + body[:cut])
        self.wfile.flush()
        # A FIN, not a reset: a reset can discard what the client has not read yet.
        self.answer_close(state, address)

    def answer_stall(self, state: SimState, address: str) -> None:
        """Answers nothing until the client gives up or echo_stall_max_ms passes; then closes.

        WinINet under Wine does not give up by itself (measured: not within 300 s)."""
        deadline = time.monotonic() + state.get_int("echo_stall_max_ms", 60000) / 1000
        while time.monotonic() < deadline and not self.server.stopping.is_set():
            ready, _, _ = select.select([self.connection], [], [], 0.5)
            if ready:
                try:
                    if not self.connection.recv(4096):
                        return
                except OSError:
                    return

    def answer_close(self, state: SimState, address: str) -> None:
        """No answer: the connection is closed after the request."""
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass

    def answer_refuse(self, state: SimState, address: str) -> None:
        """No answer: the connection is reset."""
        self.reset()

    def reset(self) -> None:
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.connection.close()

    def finish(self) -> None:
        try:
            super().finish()
        except OSError:
            pass


class EchoServer(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, port: int, state_path: str, log_path: str | None):
        super().__init__(("127.0.0.1", port), EchoHandler)
        self.state_path = state_path
        self.log_path = log_path
        self.log_lock = threading.Lock()
        self.stopping = threading.Event()

    def log(self, record: dict) -> None:
        if not self.log_path:
            return
        line = json.dumps(record, ensure_ascii=False) + "\n"
        with self.log_lock, open(self.log_path, "a", encoding="utf-8") as f:
            f.write(line)

    def handle_error(self, request, client_address) -> None:
        pass  # a client that went away mid-answer is part of the game


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("port", nargs="?", type=int, default=DEFAULT_PORT)
    parser.add_argument("--state", default=os.environ.get("PELNOR_SIM_STATE", "sim_state.txt"))
    parser.add_argument("--log", default=os.environ.get("PELNOR_SIM_ECHO_LOG"))
    args = parser.parse_args()
    try:
        server = EchoServer(args.port, args.state, args.log)
    except OSError as e:
        print(f"echo server: cannot listen on 127.0.0.1:{args.port}: {e}", file=sys.stderr)
        return 1
    print(f"listening 127.0.0.1:{server.server_address[1]}", flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    finally:
        server.stopping.set()
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
