(function () {
  'use strict';
  // Keyboard and swipe navigation for the album pages and the full-screen viewer. Links carry
  // data-nav="prev", "next" or "up"; a page without such a link simply ignores the key. Written
  // without any tag markers of the template language, because the site builder expands this file
  // like a template. Styles written for navigation.js keep it; this file adds the viewer.
  var viewerOpen = false;

  function follow(kind) {
    var link = document.querySelector('a[data-nav="' + kind + '"][href]');
    if (!link) return false;
    window.location.href = link.href;
    return true;
  }

  function isTyping(target) {
    if (!target) return false;
    var name = target.tagName;
    return target.isContentEditable || name === 'INPUT' || name === 'TEXTAREA' || name === 'SELECT';
  }

  var keys = { ArrowLeft: 'prev', ArrowRight: 'next', ArrowUp: 'up', Escape: 'up' };
  document.addEventListener('keydown', function (event) {
    if (viewerOpen || event.altKey || event.ctrlKey || event.metaKey || event.shiftKey || isTyping(event.target)) return;
    var kind = keys[event.key];
    if (kind && follow(kind)) event.preventDefault();
  });

  // A picture page knows its number and the thumbnails per overview page, so the way back leads to
  // the overview page that shows this picture instead of always to the first one.
  var body = document.body;
  var number = parseInt(body.getAttribute('data-image'), 10);
  var perPage = parseInt(body.getAttribute('data-per-page'), 10);
  if (number > 0 && perPage > 0) {
    var page = Math.floor((number - 1) / perPage);
    var target = page === 0 ? 'index.html' : 'thumbpage' + page + '.html';
    var links = document.querySelectorAll('a[data-overview]');
    for (var i = 0; i < links.length; i++) links[i].setAttribute('href', target);
  }

  // Empty settings leave gaps that no template can test for. A page title of separators only (no
  // "Titel der Galerie" is set) gets the neutral name that the start page's heading shows then.
  var title = document.title.replace(/^[\s\u00b7]+|[\s\u00b7]+$/g, '');
  document.title = title || 'Fotoalben';

  // A published album without pictures gets no pages, and its cover names no picture: its tile on
  // the start page would lead nowhere.
  var albumCovers = document.querySelectorAll('img[data-cover]');
  for (var c = 0; c < albumCovers.length; c++) {
    var tile = albumCovers[c].closest('li');
    if (tile && /thumbs\/$/.test(albumCovers[c].getAttribute('src') || '')) tile.parentNode.removeChild(tile);
  }

  // Album covers arrive as thumbnails; a style that shows them large marks them data-full and gets
  // the picture itself, which has the same name in the album's "images" folder.
  var covers = document.querySelectorAll('img[data-full]');
  for (var k = 0; k < covers.length; k++) {
    var source = covers[k].getAttribute('src') || '';
    covers[k].setAttribute('src', source.replace(/thumbs\/([^\/]*)$/, 'images/$1'));
  }

  // The pager marks the page being shown; index.html is the first page under another name.
  var pager = document.querySelector('[data-current]');
  if (pager) {
    var current = pager.getAttribute('data-current');
    var pages = pager.querySelectorAll('a[data-page]');
    for (var j = 0; j < pages.length; j++) {
      if (pages[j].getAttribute('data-page') === current) pages[j].setAttribute('aria-current', 'page');
    }
  }

  // A horizontal swipe on a phone turns the page like the arrow keys.
  var startX = 0, startY = 0, tracking = false;
  document.addEventListener('touchstart', function (event) {
    tracking = event.touches.length === 1;
    if (tracking) { startX = event.touches[0].clientX; startY = event.touches[0].clientY; }
  }, { passive: true });
  document.addEventListener('touchend', function (event) {
    if (viewerOpen || !tracking || event.changedTouches.length !== 1) return;
    tracking = false;
    var dx = event.changedTouches[0].clientX - startX;
    var dy = event.changedTouches[0].clientY - startY;
    if (Math.abs(dx) > 60 && Math.abs(dx) > 2 * Math.abs(dy)) follow(dx < 0 ? 'next' : 'prev');
  }, { passive: true });

  // The full-screen viewer (PhotoSwipe, loaded with "defer", so it is there once the document is
  // parsed). Links marked data-pswp-width open it; without JavaScript they lead to the picture page
  // or the picture itself. The browser's back button closes it like Esc: opening adds a history
  // entry, and closing by any other way takes that entry back.
  function captionOf(slide) {
    var element = slide && slide.data && slide.data.element;
    var image = element && element.querySelector('img');
    return image ? image.getAttribute('alt') || '' : '';
  }

  function startViewer() {
    if (!window.PhotoSwipeLightbox || !window.PhotoSwipe) return;
    var galleries = document.querySelectorAll('[data-viewer]');
    for (var g = 0; g < galleries.length; g++) openViewerOn(galleries[g]);
  }

  function openViewerOn(gallery) {
    var lightbox = new window.PhotoSwipeLightbox({
      gallery: gallery,
      children: 'a[data-pswp-width]',
      pswpModule: window.PhotoSwipe,
      bgOpacity: 0.94,
      showHideAnimationType: 'fade',
      preload: [1, 2],
      closeTitle: 'Schlie\u00dfen (Esc)',
      zoomTitle: 'Vergr\u00f6\u00dfern',
      arrowPrevTitle: 'Vorheriges Bild',
      arrowNextTitle: 'N\u00e4chstes Bild',
      errorMsg: 'Das Bild konnte nicht geladen werden.',
      indexIndicatorSep: ' von ',
      returnFocus: false
    });
    lightbox.on('uiRegister', function () {
      lightbox.pswp.ui.registerElement({
        name: 'caption', order: 9, isButton: false, appendTo: 'root', html: '',
        onInit: function (element, pswp) {
          element.setAttribute('aria-live', 'polite');
          pswp.on('change', function () {
            element.textContent = captionOf(pswp.currSlide);
            element.hidden = !element.textContent;
          });
        }
      });
    });
    var fromHistory = false;
    lightbox.on('beforeOpen', function () {
      viewerOpen = true;
      fromHistory = false;
      history.pushState({ viewer: true }, '');
    });
    // Closed, the viewer leaves the keyboard focus on the thumbnail of the picture it showed last
    // (PhotoSwipe's own return goes to whatever had the focus before, often nothing after a tap).
    var shownLast = null;
    lightbox.on('close', function () {
      viewerOpen = false;
      shownLast = lightbox.pswp && lightbox.pswp.currSlide && lightbox.pswp.currSlide.data.element;
      if (!fromHistory && history.state && history.state.viewer) history.back();
    });
    lightbox.on('destroy', function () {
      if (shownLast) shownLast.focus();
      shownLast = null;
    });
    window.addEventListener('popstate', function () {
      if (!lightbox.pswp) return;
      fromHistory = true;
      lightbox.pswp.close();
    });
    lightbox.init();
  }

  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', startViewer);
  else startViewer();
})();
