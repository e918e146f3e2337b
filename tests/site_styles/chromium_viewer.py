#!/usr/bin/env python3
"""Plays a visitor's visit to the full-screen viewer of one overview page in headless Chromium (a
phone's screen with touch) and prints what it saw as one JSON object:

    chromium_viewer.py SITE_FOLDER PAGE

A click on the first thumbnail opens the viewer; ArrowRight goes on, a swipe goes on again, a
double tap zooms, Esc closes; Enter on the focused thumbnail opens it again and the browser's back
button closes it. Every step waits for its outcome in the page with a bound (WAIT_MS), never for
a fixed time. Input arrives through the DevTools protocol as real mouse, key and touch events."""
import json
import sys
import os

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from chromium_probe import served_browser  # noqa: E402

WAIT_MS = 10000

# Resolves to whether `condition` (a JavaScript expression) held before the bound ran out.
WAIT = """new Promise(resolve => {
  const end = Date.now() + %d;
  (function poll() {
    let held = false;
    try { held = !!(%s); } catch (e) {}
    if (held || Date.now() > end) resolve(held); else setTimeout(poll, 20);
  })();
})"""

# Open and done opening: PhotoSwipe ignores Esc until its opening animation has ended, and shows
# the neighbours' slides (hidden while it opens) only then.
OPEN = ("document.querySelector('.pswp.pswp--open') !== null && [...document.querySelectorAll"
        "('.pswp__item')].every(item => item.style.display !== 'none')")
CLOSED = "document.querySelector('.pswp') === null"
COUNTER = "(document.querySelector('.pswp__counter') || {}).textContent || ''"
CAPTION = "(document.querySelector('.pswp__caption') || {}).textContent || ''"
ZOOMED = "document.querySelector('.pswp.pswp--zoomed-in') !== null"
# The rendition name up to its width ("renditions/Bild_11-") of the n-th thumbnail link.
STEM = ("document.querySelectorAll('[data-viewer] a[data-pswp-width]')[%d]"
        ".getAttribute('data-pswp-src').replace(/-[0-9]+[.][a-z]+$/, '-')")
# Whether the viewer holds the n-th picture's full image (not its placeholder), loaded.
LOADED = ("[...document.querySelectorAll('.pswp__img:not(.pswp__img--placeholder)')]"
          ".some(i => i.complete && i.naturalWidth > 0 && i.currentSrc.includes(%s))")
# Whether the n-th picture's slide stands still in the middle of the screen: the slide animation
# after a key or a swipe has ended, so the next gesture reaches the picture.
SETTLED = ("[...document.querySelectorAll('.pswp__item')].some(item => "
           "Math.abs(item.getBoundingClientRect().left) < 1 && [...item.querySelectorAll('img')]"
           ".some(i => i.currentSrc.includes(%s)))")
KEYS = {'ArrowRight': 39, 'Escape': 27, 'Enter': 13}


class Visit:
    def __init__(self, tools, session):
        self.tools = tools
        self.session = session

    def value(self, expression, promise=False):
        result = self.tools.call('Runtime.evaluate', {'expression': expression, 'returnByValue': True,
                                                      'awaitPromise': promise}, self.session)
        return result['result'].get('value')

    def until(self, condition):
        return bool(self.value(WAIT % (WAIT_MS, condition), promise=True))

    def center(self, selector):
        box = self.value("(() => { const r = document.querySelector(%s).getBoundingClientRect();"
                         " return [r.left + r.width / 2, r.top + r.height / 2]; })()" % json.dumps(selector))
        return box[0], box[1]

    def click(self, selector):
        x, y = self.center(selector)
        for kind in ('mouseMoved', 'mousePressed', 'mouseReleased'):
            self.tools.call('Input.dispatchMouseEvent', {'type': kind, 'x': x, 'y': y, 'button': 'left',
                                                         'clickCount': 1}, self.session)

    def key(self, name):
        down = {'type': 'keyDown', 'key': name, 'code': name, 'windowsVirtualKeyCode': KEYS[name]}
        if name == 'Enter':
            down['text'] = '\r'
        self.tools.call('Input.dispatchKeyEvent', down, self.session)
        self.tools.call('Input.dispatchKeyEvent', {'type': 'keyUp', 'key': name, 'code': name,
                                                   'windowsVirtualKeyCode': KEYS[name]}, self.session)

    def touch(self, kind, x=None, y=None):
        points = [] if x is None else [{'x': x, 'y': y}]
        self.tools.call('Input.dispatchTouchEvent', {'type': kind, 'touchPoints': points}, self.session)

    def swipe_left(self):
        width, height = self.value('[window.innerWidth, window.innerHeight]')
        y = height / 2
        self.touch('touchStart', width * 0.85, y)
        for step in range(1, 9):
            self.touch('touchMove', width * (0.85 - 0.08 * step), y)
        self.touch('touchEnd')

    def double_tap(self):
        width, height = self.value('[window.innerWidth, window.innerHeight]')
        for _ in range(2):
            self.touch('touchStart', width / 2, height / 2)
            self.touch('touchEnd')

    def back(self):
        history = self.tools.call('Page.getNavigationHistory', {}, self.session)
        entry = history['entries'][history['currentIndex'] - 1]
        self.tools.call('Page.navigateToHistoryEntry', {'entryId': entry['id']}, self.session)

    def location(self):
        return self.value('location.pathname')


def visit(site, page):
    seen = {}
    with served_browser(site, 390, 844, 3.0, touch=True) as (tools, session, base):
        tools.call('Page.navigate', {'url': base + page}, session)
        tools.wait_for('Page.loadEventFired')
        v = Visit(tools, session)
        first = '[data-viewer] a[data-pswp-width]'
        seen['thumbnails'] = v.value("document.querySelectorAll(%s).length" % json.dumps(first))
        seen['firstAlt'] = v.value("document.querySelector(%s + ' img').alt" % json.dumps(first))
        seen['page'] = v.location()

        v.click(first)
        seen['openedByClick'] = v.until(OPEN)
        seen['counterAfterOpen'] = v.value(COUNTER)
        seen['captionShown'] = v.until(CAPTION + ' === ' + json.dumps(seen['firstAlt']))
        seen['nextPreloaded'] = v.until(LOADED % (STEM % 1))

        v.key('ArrowRight')
        seen['counterAfterArrow'] = '2' if v.until(COUNTER + ".startsWith('2 ')") else v.value(COUNTER)
        seen['pageAfterArrow'] = v.location()
        seen['settledAfterArrow'] = v.until(SETTLED % (STEM % 1))
        seen['afterNextPreloaded'] = v.until(LOADED % (STEM % 2))

        v.swipe_left()
        seen['counterAfterSwipe'] = '3' if v.until(COUNTER + ".startsWith('3 ')") else v.value(COUNTER)
        seen['settledAfterSwipe'] = v.until(SETTLED % (STEM % 2))

        v.double_tap()
        seen['zoomedByDoubleTap'] = v.until(ZOOMED)

        v.key('Escape')
        seen['closedByEscape'] = v.until(CLOSED)
        seen['pageAfterEscape'] = v.location()
        seen['focusAfterEscape'] = v.value("document.activeElement.matches(%s) ? "
                                           "document.activeElement.getAttribute('href') : "
                                           "document.activeElement.tagName" % json.dumps(first))

        v.key('Enter')
        seen['openedByEnter'] = v.until(OPEN)
        v.back()
        seen['closedByBack'] = v.until(CLOSED)
        seen['pageAfterBack'] = v.location()
    print(json.dumps(seen))


if __name__ == '__main__':
    visit(sys.argv[1], sys.argv[2])
