// The lecture page: keeps the slide, the pointer, the chapter and the thumbnail list in step with the
// video. Everything read from the lecture (captions, file names, the title) is set as text
// (textContent, title, value), never parsed as markup.
(function () {
  'use strict';
  var data = window.KEMO_DATA;
  var $ = function (id) { return document.getElementById(id); };
  var video = $('video'), slideBox = $('slideBox'), imgSlide = $('imgSlide'), pointer = $('pointer');
  var seekBar = $('seekBar'), cbPlay = $('cbPlay'), cbChapter = $('cbChapter'), txtSearch = $('txtSearch');
  if (!data) { $('lbTitle').textContent = 'data.js を読み込めません。'; return; }

  var pad = function (n, w) { n = String(n); while (n.length < w) n = '0' + n; return n; };
  function clock(t) {
    t = Math.max(0, Math.floor(t || 0));
    var h = Math.floor(t / 3600), m = Math.floor(t / 60) % 60, s = t % 60;
    return (h ? h + ':' + pad(m, 2) : pad(m, 2)) + ':' + pad(s, 2);
  }
  function file(kind, slide) { return kind === 'thumbs' ? data.slides[slide].thumb : data.slides[slide].picture; }
  function duration() { return isFinite(video.duration) && video.duration > 0 ? video.duration : data.duration; }

  // The last entry of `list` (by its [0], ascending) that starts at or before t; -1 before the first.
  function entryAt(list, t) {
    var lo = 0, hi = list.length - 1, found = -1;
    t += 1e-6;  // a seek to a boundary shows what starts there
    while (lo <= hi) {
      var mid = (lo + hi) >> 1;
      if (list[mid][0] <= t) { found = mid; lo = mid + 1; } else hi = mid - 1;
    }
    return found;
  }

  function placeMarker(el, cx, cy) {
    el.style.left = (cx * 100) + '%';
    el.style.top = (cy * 100) + '%';
    el.style.width = (data.marker[0] * 100) + '%';
    el.style.height = (data.marker[1] * 100) + '%';
  }

  document.title = data.title + ' - 講義';
  $('lbTitle').textContent = data.title;
  video.src = data.video;
  pointer.className = 'marker';
  data.marks.forEach(function (m) {
    var el = document.createElement('div');
    el.className = 'marker';
    placeMarker(el, m[0], m[1]);
    $('marks').appendChild(el);
  });

  // The thumbnails: one button per slide, seeking to the slide's time (paused or playing).
  var thumbs = data.slides.map(function (s, i) {
    var b = document.createElement('button');
    b.type = 'button';
    b.dataset.slide = i;
    b.title = s.caption + (s.image ? ' (' + s.image + ')' : '');
    var img = document.createElement('img');
    img.src = file('thumbs', i);
    img.alt = '';
    img.loading = 'lazy';
    var label = document.createElement('span');
    label.textContent = (i + 1) + '. ' + s.caption;
    b.appendChild(img);
    b.appendChild(label);
    b.addEventListener('click', function () { seek(slideStart(i)); });
    $('thumbs').appendChild(b);
    return b;
  });

  // Where slide i is first in force; its own time when it never is.
  function slideStart(i) {
    for (var k = 0; k < data.spans.length; ++k) if (data.spans[k][1] === i) return data.spans[k][0];
    return Math.max(0, data.slides[i].pos);
  }

  data.chapters.forEach(function (c, i) {
    var o = document.createElement('option');
    o.value = i;
    o.textContent = clock(c[0]) + ' ' + c[2];
    cbChapter.appendChild(o);
  });
  cbChapter.addEventListener('change', function () { seek(data.chapters[cbChapter.value][0]); });

  var shownSlide = -1, shownChapter = -1;
  function render(t) {
    var span = entryAt(data.spans, t);
    var slide = span < 0 ? (data.slides.length ? 0 : -1) : data.spans[span][1];
    if (slide !== shownSlide && slide >= 0) {
      if (shownSlide >= 0) thumbs[shownSlide].classList.remove('current');
      shownSlide = slide;
      var s = data.slides[slide];
      imgSlide.src = file('slides', slide);
      slideBox.dataset.slide = slide;
      $('lbNotFound').hidden = !s.missing;
      $('lbSlideNo').textContent = 'スライド ' + (slide + 1) + ' / ' + data.slides.length;
      $('lbCaption').textContent = s.caption;
      thumbs[slide].classList.add('current');
      var box = $('thumbs'), b = thumbs[slide];
      if (b.offsetLeft < box.scrollLeft || b.offsetLeft + b.offsetWidth > box.scrollLeft + box.clientWidth)
        box.scrollLeft = b.offsetLeft - box.clientWidth / 2;
    }
    var step = entryAt(data.pointer, t);
    var p = step < 0 ? data.pointer[0] : data.pointer[step];
    if (p && p.length === 3) {
      placeMarker(pointer, p[1], p[2]);
      pointer.hidden = false;
    } else {
      pointer.hidden = true;
    }
    var chapter = entryAt(data.chapters, t);
    if (chapter < 0 && data.chapters.length) chapter = 0;
    if (chapter !== shownChapter) { shownChapter = chapter; cbChapter.value = chapter; }
    var d = duration();
    if (document.activeElement !== seekBar) seekBar.value = d > 0 ? Math.round(t / d * 1000) : 0;
    $('lbTime').textContent = clock(t) + ' / ' + clock(d);
  }

  function seek(t) {
    t = Math.min(Math.max(0, t), duration());
    video.currentTime = t;
    render(t);  // at once, also while paused and before the video has the frame
  }

  var ticking = false;
  function tick() {
    render(video.currentTime);
    if (!video.paused && !video.ended) requestAnimationFrame(tick); else ticking = false;
  }
  video.addEventListener('play', function () {
    cbPlay.textContent = '一時停止';
    if (!ticking) { ticking = true; requestAnimationFrame(tick); }
  });
  video.addEventListener('pause', function () { cbPlay.textContent = '再生'; render(video.currentTime); });
  video.addEventListener('seeked', function () { render(video.currentTime); });
  video.addEventListener('timeupdate', function () { if (video.paused) render(video.currentTime); });
  video.addEventListener('loadedmetadata', function () { render(video.currentTime); });
  video.addEventListener('click', togglePlay);

  function togglePlay() { if (video.paused || video.ended) video.play(); else video.pause(); }
  cbPlay.addEventListener('click', togglePlay);
  seekBar.addEventListener('input', function () { seek(seekBar.value / 1000 * duration()); });
  $('cbSpeed').addEventListener('change', function () { video.playbackRate = Number(this.value); });
  video.addEventListener('ratechange', function () {
    $('cbSpeed').value = String(video.playbackRate);
  });

  // Keys: Space plays or pauses, ← and → step 5 s, Home and End go to the ends; not while typing.
  document.addEventListener('keydown', function (e) {
    var el = e.target;
    if (e.ctrlKey || e.altKey || e.metaKey) return;
    if (el && (el.tagName === 'INPUT' && el.type !== 'range' || el.tagName === 'SELECT' || el.tagName === 'TEXTAREA')) return;
    // Space on a focused button presses that button (a thumbnail seeks, 再生 plays).
    if ((e.key === ' ' || e.key === 'Spacebar') && el && el.tagName === 'BUTTON') return;
    var now = video.currentTime;
    switch (e.key) {
      case ' ': case 'Spacebar': togglePlay(); break;
      case 'ArrowLeft': seek(now - 5); break;
      case 'ArrowRight': seek(now + 5); break;
      case 'Home': seek(0); break;
      case 'End': seek(duration()); break;
      default: return;
    }
    e.preventDefault();
  });

  // The search over the captions: every slide whose caption holds the words, listed to seek to.
  function fold(text) { return (text.normalize ? text.normalize('NFKC') : text).toLowerCase(); }
  txtSearch.addEventListener('input', function () {
    var list = $('lstHits');
    while (list.firstChild) list.removeChild(list.firstChild);
    var words = fold(txtSearch.value).split(/\s+/).filter(Boolean);
    if (!words.length) { $('lbHits').textContent = ''; return; }
    var hits = 0;
    data.slides.forEach(function (s, i) {
      var caption = fold(s.caption);
      if (!words.every(function (w) { return caption.indexOf(w) >= 0; })) return;
      ++hits;
      var li = document.createElement('li'), b = document.createElement('button');
      b.type = 'button';
      b.dataset.slide = i;
      b.textContent = clock(slideStart(i)) + ' スライド ' + (i + 1) + ': ' + s.caption;
      b.addEventListener('click', function () { seek(slideStart(i)); });
      li.appendChild(b);
      list.appendChild(li);
    });
    $('lbHits').textContent = hits ? hits + ' 件' : '見つかりません';
  });

  render(0);
})();
