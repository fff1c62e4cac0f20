(function () {
  // Audio player and word highlight.
  var audio = document.getElementById('lnAudio');
  var ap = document.getElementById('ap');
  if (!audio || !ap) return;
  ap.style.display = 'flex';

  var icon = document.getElementById('apIcon');
  var cur = document.getElementById('apCur');
  var dur = document.getElementById('apDur');
  var bar = document.getElementById('apBar');
  var fill = document.getElementById('apBarFill');

  function fmt(t) {
    if (!isFinite(t) || t < 0) return '--:--';
    t = Math.floor(t);
    var h = Math.floor(t / 3600), m = Math.floor((t % 3600) / 60), s = t % 60;
    var ss = (s < 10 ? '0' : '') + s;
    if (h > 0) return h + ':' + (m < 10 ? '0' : '') + m + ':' + ss;
    return m + ':' + ss;
  }

  var words = Array.prototype.map.call(document.querySelectorAll('.word[data-s]'), function (el) {
    return { el: el, s: parseFloat(el.getAttribute('data-s')), e: parseFloat(el.getAttribute('data-e')) };
  }).sort(function (a, b) { return a.s - b.s; });
  var active = null;
  var userScrolling = false, scrollTimer = null;

  function markUserScroll() {
    userScrolling = true;
    clearTimeout(scrollTimer);
    scrollTimer = setTimeout(function () { userScrolling = false; }, 2500);
  }
  window.addEventListener('wheel', markUserScroll, { passive: true });
  window.addEventListener('touchmove', markUserScroll, { passive: true });

  function wordAt(t) {
    var lo = 0, hi = words.length - 1, found = -1;
    while (lo <= hi) {
      var mid = (lo + hi) >> 1;
      if (words[mid].s <= t) { found = mid; lo = mid + 1; } else { hi = mid - 1; }
    }
    return found >= 0 && words[found].e > t ? words[found] : null;
  }

  function highlight(t) {
    var w = wordAt(t);
    if (w === active) return;
    if (active) active.el.classList.remove('word--active');
    active = w;
    if (!w) return;
    w.el.classList.add('word--active');
    if (!audio.paused && !userScrolling) {
      var r = w.el.getBoundingClientRect();
      if (r.top < 90 || r.bottom > window.innerHeight - 70) w.el.scrollIntoView({ behavior: 'smooth', block: 'center' });
    }
  }

  function update() {
    var t = audio.currentTime;
    var d = isFinite(audio.duration) && audio.duration > 0 ? audio.duration : 1;
    cur.textContent = fmt(t);
    fill.style.width = Math.min(100, (t / d) * 100).toFixed(2) + '%';
    highlight(t);
  }

  // Time updates arrive a few times a second; follow the words more closely while playing.
  var frame = null;
  function tick() {
    update();
    frame = audio.paused ? null : requestAnimationFrame(tick);
  }

  audio.addEventListener('loadedmetadata', function () { dur.textContent = fmt(audio.duration); });
  audio.addEventListener('durationchange', function () { dur.textContent = fmt(audio.duration); });
  audio.addEventListener('timeupdate', update);
  audio.addEventListener('seeked', update);
  audio.addEventListener('play', function () {
    icon.textContent = '\u23F8';
    if (frame === null) frame = requestAnimationFrame(tick);
  });
  audio.addEventListener('pause', function () { icon.textContent = '\u25B6'; });
  audio.addEventListener('ended', function () { icon.textContent = '\u25B6'; });

  function play() {
    var started = audio.play();
    if (started && started.catch) started.catch(function () {});
  }

  window.apToggle = function () {
    if (audio.paused) play(); else audio.pause();
  };
  window.apSetRate = function (v) { audio.playbackRate = parseFloat(v); };
  window.apBarClick = function (ev) {
    var r = bar.getBoundingClientRect();
    var f = r.width > 0 ? (ev.clientX - r.left) / r.width : 0;
    f = Math.max(0, Math.min(1, f));
    if (isFinite(audio.duration)) audio.currentTime = f * audio.duration;
  };
  window.seekTo = function (t) {
    audio.currentTime = t;
    if (audio.paused) play();
  };
})();

(function () {
  // Reading controls, views, lightbox and margin connectors.
  var root = document.documentElement;

  function store(key, value) {
    try { localStorage.setItem(key, value); } catch (e) {}
  }
  function load(key) {
    try { return localStorage.getItem(key); } catch (e) { return null; }
  }

  var slider = document.getElementById('fontSize');
  if (slider) {
    slider.value = load('lumenote-fs') || '17';
    slider.addEventListener('input', function () {
      root.style.setProperty('--fs-base', slider.value + 'px');
      store('lumenote-fs', slider.value);
      setTimeout(drawConnectors, 50);
    });
  }

  window.switchView = function (v) {
    root.setAttribute('data-view', v);
    drawConnectors();
  };

  window.toggleTheme = function () {
    var next = root.getAttribute('data-theme') === 'dark' ? 'light' : 'dark';
    root.setAttribute('data-theme', next);
    store('lumenote-theme', next);
    setTimeout(drawConnectors, 280);
  };

  var lightbox = document.getElementById('lightbox');
  var lbImg = document.getElementById('lbImg');
  var lbFull = document.getElementById('lbFullsize');

  function fitLightboxImage() {
    var nw = lbImg.naturalWidth, nh = lbImg.naturalHeight;
    if (!nw || !nh) return;
    var scale = Math.min(1, (window.innerWidth - 64) / nw, (0.9 * window.innerHeight) / nh);
    lbImg.style.width = Math.min(nw, Math.round(nw * scale)) + 'px';
    lbImg.style.height = 'auto';
    lbImg.style.maxWidth = '100%';
    lbImg.style.maxHeight = '90vh';
  }

  window.openLightbox = function (img) {
    if (!img || !lightbox) return;
    lbImg.style.width = '';
    lbImg.style.height = '';
    lbImg.onload = fitLightboxImage;
    lbImg.src = img.src;
    lbImg.alt = img.alt;
    if (lbImg.complete && lbImg.naturalWidth) fitLightboxImage();
    lbFull.href = img.src;
    lightbox.classList.add('open');
    document.body.style.overflow = 'hidden';
  };

  window.closeLightbox = function () {
    if (!lightbox) return;
    lightbox.classList.remove('open');
    lbImg.onload = null;
    lbImg.removeAttribute('src');
    lbImg.style.width = '';
    lbImg.style.height = '';
    lbFull.setAttribute('href', '#');
    document.body.style.overflow = '';
  };

  document.addEventListener('keydown', function (ev) {
    if (ev.key === 'Escape' && lightbox && lightbox.classList.contains('open')) window.closeLightbox();
  });

  function drawConnectors() {
    Array.prototype.forEach.call(document.querySelectorAll('.margin-connector'), function (c) { c.remove(); });
    Array.prototype.forEach.call(document.querySelectorAll('.margin-anchor[data-note]'), function (anchor) {
      var id = anchor.getAttribute('data-note');
      var note = document.querySelector('aside.margin-note[data-note="' + id + '"]');
      if (!note) return;
      var wrap = note.closest('.passage-wrap');
      if (!wrap || getComputedStyle(wrap).display !== 'grid') return;
      var w = wrap.getBoundingClientRect(), a = anchor.getBoundingClientRect(), n = note.getBoundingClientRect();
      var y = a.bottom - w.top;
      var noteTop = n.top - w.top, noteBottom = n.bottom - w.top;
      if (y < noteTop || y > noteBottom) y = (noteTop + noteBottom) / 2;
      var left = !!note.closest('.margin-notes--left');
      var x1 = left ? n.right - w.left : a.right - w.left;
      var x2 = left ? a.left - w.left : n.left - w.left;
      if (x2 <= x1 + 4) return;
      var line = document.createElement('div');
      line.className = 'margin-connector';
      line.style.top = Math.round(y) + 'px';
      line.style.left = Math.round(x1) + 'px';
      line.style.width = Math.round(x2 - x1) + 'px';
      wrap.appendChild(line);
    });
  }
  window.drawConnectors = drawConnectors;

  if (document.fonts && document.fonts.ready) document.fonts.ready.then(drawConnectors);
  else setTimeout(drawConnectors, 300);

  var resizeTimer = null;
  window.addEventListener('resize', function () {
    clearTimeout(resizeTimer);
    resizeTimer = setTimeout(drawConnectors, 150);
  });
})();

(function () {
  // index.html#t=754 opens the page at that moment: the passage holding it is
  // scrolled into view and the player, when there is one, waits there.
  function chipSeconds(text) {
    var parts = text.trim().split(':').map(Number);
    if (parts.some(isNaN)) return NaN;
    return parts.reduce(function (acc, p) { return acc * 60 + p; }, 0);
  }

  function openAt() {
    var m = /^#(?:.*&)?t=(\d+(?:\.\d+)?)/.exec(location.hash);
    if (m) jumpTo(parseFloat(m[1]));
  }

  function jumpTo(t) {
    var target = null;
    Array.prototype.forEach.call(document.querySelectorAll('#view-transcript .passage'), function (p) {
      var chip = p.querySelector('.ts-chip');
      if (chip && chipSeconds(chip.textContent) <= t) target = p;
    });
    if (target) {
      if (window.switchView && document.documentElement.getAttribute('data-view') !== 'transcript') window.switchView('transcript');
      target.scrollIntoView({ block: 'center' });
    }
    var audio = document.getElementById('lnAudio');
    if (!audio) return;
    if (audio.readyState >= 1) audio.currentTime = t;
    else audio.addEventListener('loadedmetadata', function () { audio.currentTime = t; }, { once: true });
  }

  // The chapter list jumps (also to the chapter already in the address) and
  // marks the chapter being played.
  var chapters = Array.prototype.map.call(document.querySelectorAll('.chapter[data-t]'), function (a) {
    a.addEventListener('click', function (ev) {
      ev.preventDefault();
      history.replaceState(null, '', a.getAttribute('href'));
      jumpTo(parseFloat(a.getAttribute('data-t')));
    });
    return { el: a, t: parseFloat(a.getAttribute('data-t')) };
  });
  var audio = document.getElementById('lnAudio');
  function markChapter() {
    var current = null;
    chapters.forEach(function (c) { if (c.t <= audio.currentTime + 0.01) current = c; });
    chapters.forEach(function (c) { c.el.classList.toggle('chapter--current', c === current); });
  }
  if (audio && chapters.length) {
    audio.addEventListener('timeupdate', markChapter);
    audio.addEventListener('seeked', markChapter);
  }

  openAt();
  window.addEventListener('hashchange', openAt);
})();
