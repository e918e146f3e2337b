#!/usr/bin/env python3
"""Usage: delay_relay.py TUN_A TUN_B DELAY_MS  -- a link with DELAY_MS each way between two TUN devices.

Creates the two TUN devices (IP packets, no packet information header), prints "ready" on stdout and
then copies every packet read from one device to the other after DELAY_MS milliseconds, in both
directions and in the order it came. The devices may be moved into other network namespaces once
"ready" is printed: the open file descriptors keep working there. Ends on SIGTERM or SIGINT, which
removes the devices. A delay of 0 copies at once, to measure what the relay itself costs.
"""
import collections
import fcntl
import os
import selectors
import signal
import struct
import sys
import time

TUNSETIFF = 0x400454CA
IFF_TUN = 0x0001
IFF_NO_PI = 0x1000
READ_SIZE = 65536
# Packets read from one device before the other gets a turn, so a busy direction cannot starve the
# other one's acknowledgements.
BURST = 64


class Stopped(Exception):
    pass


def open_tun(name):
    fd = os.open("/dev/net/tun", os.O_RDWR | os.O_NONBLOCK)
    fcntl.ioctl(fd, TUNSETIFF, struct.pack("16sH", name.encode(), IFF_TUN | IFF_NO_PI))
    return fd


class Direction:
    """One way of the link: packets from `source` wait in `queue` until their time to reach `target`."""

    def __init__(self, source, target):
        self.source = source
        self.target = target
        self.queue = collections.deque()  # (due time, packet), in arrival order and so in due order
        self.sent = 0
        self.dropped = 0

    def read(self, delay):
        now = time.monotonic()
        for _ in range(BURST):
            try:
                packet = os.read(self.source, READ_SIZE)
            except BlockingIOError:
                return
            if delay == 0:
                self.write(packet)
            else:
                self.queue.append((now + delay, packet))

    def write(self, packet):
        try:
            os.write(self.target, packet)
            self.sent += 1
        except OSError:
            # The receiving device is down or its queue is full: a real link loses the packet too.
            self.dropped += 1

    def flush(self, now):
        while self.queue and self.queue[0][0] <= now:
            self.write(self.queue.popleft()[1])

    def next_due(self):
        return self.queue[0][0] if self.queue else None


def main(argv):
    if len(argv) != 4:
        sys.exit(__doc__)
    delay = float(argv[3]) / 1000.0
    a = open_tun(argv[1])
    b = open_tun(argv[2])
    directions = [Direction(a, b), Direction(b, a)]
    selector = selectors.DefaultSelector()
    for d in directions:
        selector.register(d.source, selectors.EVENT_READ, d)

    # Python would resume a waiting select() after the handler returns, so the handler raises.
    def stop(*_):
        raise Stopped()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    print("ready", flush=True)

    try:
        while True:
            dues = [t for t in (d.next_due() for d in directions) if t is not None]
            timeout = max(0.0, min(dues) - time.monotonic()) if dues else None
            for key, _ in selector.select(timeout):
                key.data.read(delay)
            now = time.monotonic()
            for d in directions:
                d.flush(now)
    except Stopped:
        pass
    for d in directions:
        print(f"{d.sent} packets relayed, {d.dropped} dropped", file=sys.stderr)


if __name__ == "__main__":
    main(sys.argv)
