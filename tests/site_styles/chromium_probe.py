#!/usr/bin/env python3
"""Loads one page of a generated site in headless Chromium at a given viewport and device pixel
ratio and prints, as one JSON object, what the browser chose for a picture and the bytes it
downloaded.

    chromium_probe.py SITE_FOLDER PAGE WIDTH HEIGHT DPR SELECTOR

The site is served by a small HTTP server on 127.0.0.1 (an ephemeral port) for the time of the
load; Chromium is driven over its DevTools pipe, so nothing listens beyond that server and both
end with the script."""
import contextlib
import functools
import http.server
import json
import os
import subprocess
import sys
import tempfile
import threading

TIMEOUT = 60


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, '.webp': 'image/webp'}

    def log_message(self, *args):
        pass


class DevTools:
    """The DevTools protocol over Chromium's pipe: JSON messages ended by a zero byte."""

    def __init__(self, to_browser, from_browser):
        self.out = os.fdopen(to_browser, 'wb', buffering=0)
        self.inp = os.fdopen(from_browser, 'rb', buffering=0)
        self.buffer = b''
        self.next_id = 0
        self.events = []

    def read(self):
        while b'\0' not in self.buffer:
            chunk = self.inp.read(65536)
            if not chunk:
                raise RuntimeError('Chromium closed its DevTools pipe')
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b'\0', 1)
        return json.loads(message)

    def call(self, method, params=None, session=None):
        self.next_id += 1
        message = {'id': self.next_id, 'method': method, 'params': params or {}}
        if session:
            message['sessionId'] = session
        self.out.write(json.dumps(message).encode() + b'\0')
        while True:
            answer = self.read()
            if answer.get('id') == self.next_id:
                if 'error' in answer:
                    raise RuntimeError(method + ': ' + json.dumps(answer['error']))
                return answer.get('result', {})
            self.events.append(answer)

    def wait_for(self, method):
        while True:
            for event in self.events:
                if event.get('method') == method:
                    self.events.remove(event)
                    return event
            self.events.append(self.read())


PROBE = """(() => {
  const picture = document.querySelector(%s);
  const entries = performance.getEntriesByType('resource').concat(performance.getEntriesByType('navigation'));
  const box = picture ? picture.getBoundingClientRect() : {width: 0, height: 0};
  return JSON.stringify({
    currentSrc: picture ? picture.currentSrc : '',
    naturalWidth: picture ? picture.naturalWidth : 0,
    renderedWidth: box.width,
    devicePixelRatio: window.devicePixelRatio,
    viewportWidth: window.innerWidth,
    bytes: entries.reduce((sum, entry) => sum + entry.transferSize, 0),
    images: entries.filter(e => /\\.(webp|jpg)$/.test(e.name)).map(e => [e.name.replace(/^.*\\//, ''), e.transferSize])
  });
})()"""


@contextlib.contextmanager
def served_browser(site, width, height, dpr, touch=False):
    """Serves `site` on 127.0.0.1 and starts headless Chromium with one page at the given viewport;
    yields (tools, session, base_url). Both end with the block; a browser that hangs is killed
    after TIMEOUT seconds."""
    handler = functools.partial(QuietHandler, directory=site)
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    to_browser_r, to_browser_w = os.pipe()
    from_browser_r, from_browser_w = os.pipe()

    def pipes_at_3_and_4():
        os.dup2(to_browser_r, 100)
        os.dup2(from_browser_w, 101)
        os.dup2(100, 3)
        os.dup2(101, 4)

    with tempfile.TemporaryDirectory() as profile:
        browser = subprocess.Popen(
            ['chromium', '--headless=new', '--no-sandbox', '--disable-gpu', '--no-first-run',
             '--disable-extensions', '--disable-background-networking', '--remote-debugging-pipe',
             '--user-data-dir=' + profile, 'about:blank'],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=pipes_at_3_and_4, pass_fds=(3, 4))
        os.close(to_browser_r)
        os.close(from_browser_w)
        timer = threading.Timer(TIMEOUT, browser.kill)
        timer.start()
        try:
            tools = DevTools(to_browser_w, from_browser_r)
            target = tools.call('Target.createTarget', {'url': 'about:blank'})['targetId']
            session = tools.call('Target.attachToTarget', {'targetId': target, 'flatten': True})['sessionId']
            tools.call('Emulation.setDeviceMetricsOverride',
                       {'width': width, 'height': height, 'deviceScaleFactor': dpr, 'mobile': dpr >= 2.5},
                       session)
            if touch:
                tools.call('Emulation.setTouchEmulationEnabled', {'enabled': True, 'maxTouchPoints': 5},
                           session)
            tools.call('Network.enable', {}, session)
            tools.call('Network.setCacheDisabled', {'cacheDisabled': True}, session)
            tools.call('Page.enable', {}, session)
            yield tools, session, 'http://127.0.0.1:%d/' % server.server_address[1]
            tools.call('Browser.close')
        finally:
            timer.cancel()
            try:
                browser.wait(10)
            except subprocess.TimeoutExpired:
                browser.kill()
                browser.wait()
            server.shutdown()


def probe(site, page, width, height, dpr, selector):
    with served_browser(site, width, height, dpr) as (tools, session, base):
        tools.call('Page.navigate', {'url': base + page}, session)
        tools.wait_for('Page.loadEventFired')
        result = tools.call('Runtime.evaluate', {'expression': PROBE % json.dumps(selector),
                                                 'returnByValue': True}, session)
        print(result['result']['value'])


if __name__ == '__main__':
    probe(sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), float(sys.argv[5]), sys.argv[6])
