#!/usr/bin/env python3
"""Measures in headless Chromium where a page's picture and what follows it stand before any
picture has arrived and after all have: the requests for .webp and .jpg files are held until the
document is parsed and measured, then let through. Prints one JSON object with the two boxes.

    chromium_layout.py SITE_FOLDER PAGE WIDTH HEIGHT DPR PICTURE_SELECTOR AFTER_SELECTOR

A page that shifts when its pictures arrive (the layout shift Lighthouse counts) shows different
boxes; one that reserves the picture's place from its width and height shows the same."""
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from chromium_probe import served_browser  # noqa: E402

BOXES = """(() => {
  const box = s => { const e = document.querySelector(s); if (!e) return null;
                     const r = e.getBoundingClientRect(); return [r.left, r.top, r.width, r.height]; };
  const picture = document.querySelector(%(picture)s);
  return JSON.stringify({picture: box(%(picture)s), after: box(%(after)s),
                         loaded: !!picture && picture.complete && picture.naturalWidth > 0});
})()"""


def next_event(tools):
    return tools.events.pop(0) if tools.events else tools.read()


def measure(site, page, width, height, dpr, picture, after):
    with served_browser(site, width, height, dpr) as (tools, session, base):
        tools.call('Fetch.enable', {'patterns': [{'urlPattern': '*.webp'}, {'urlPattern': '*.jpg'}]}, session)
        expression = BOXES % {'picture': json.dumps(picture), 'after': json.dumps(after)}
        evaluate = lambda: json.loads(tools.call('Runtime.evaluate', {'expression': expression,
                                                                      'returnByValue': True},
                                                 session)['result']['value'])
        tools.call('Page.navigate', {'url': base + page}, session)
        held = []
        while True:
            event = next_event(tools)
            if event.get('method') == 'Fetch.requestPaused':
                held.append(event['params']['requestId'])
            elif event.get('method') == 'Page.domContentEventFired':
                break
        result = {'held': len(held), 'before': evaluate()}
        for request in held:
            tools.call('Fetch.continueRequest', {'requestId': request}, session)
        while True:
            event = next_event(tools)
            if event.get('method') == 'Fetch.requestPaused':
                tools.call('Fetch.continueRequest', {'requestId': event['params']['requestId']}, session)
            elif event.get('method') == 'Page.loadEventFired':
                break
        result['after'] = evaluate()
        print(json.dumps(result))


if __name__ == '__main__':
    measure(sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), float(sys.argv[5]), sys.argv[6],
            sys.argv[7])
