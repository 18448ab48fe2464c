#!/usr/bin/env python3
"""Opens a web package from file:// in headless Chromium, driven over the DevTools protocol on a pipe
(no library), and checks the page against the lecture's content.xml, at a desktop and a phone size.

  drive_page.py CHROMIUM PACKAGE_DIR CONTENT_XML SHOT_PREFIX
Exit 0 when every check passes; 1 with the failures listed otherwise.
"""
import base64, json, os, random, subprocess, sys, tempfile, time
import xml.etree.ElementTree as ET

KEY_CODES = {'ArrowLeft': 37, 'ArrowRight': 39, 'Home': 36, 'End': 35}
HOSTILE = '<img src=x onerror=alert(1)>'
STAGE_W, STAGE_H = 9525.0, 9525.0 * 3 / 4  # the editor's stage in twips; the marker sits 10 twips off


class Browser:
    def __init__(self, chromium, profile):
        to_r, self.to_w = os.pipe()
        self.from_r, from_w = os.pipe()

        def wire():  # the pipe protocol reads commands on fd 3 and writes on fd 4
            os.dup2(to_r, 3)
            os.dup2(from_w, 4)

        self.proc = subprocess.Popen(
            [chromium, '--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
             '--disable-background-networking', '--disable-component-update', '--disable-sync',
             '--mute-audio', '--autoplay-policy=no-user-gesture-required',
             '--user-data-dir=' + profile, '--remote-debugging-pipe', 'about:blank'],
            preexec_fn=wire, pass_fds=(3, 4), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_r)
        os.close(from_w)
        self.buf = b''
        self.next_id = 0
        self.events = []
        self.session = None

    def _read_message(self, deadline):
        while b'\0' not in self.buf:
            if time.time() > deadline:
                raise TimeoutError('no answer from the browser')
            chunk = os.read(self.from_r, 1 << 16)
            if not chunk:
                raise RuntimeError('the browser closed its pipe')
            self.buf += chunk
        raw, self.buf = self.buf.split(b'\0', 1)
        m = json.loads(raw)
        if m.get('method') == 'Page.javascriptDialogOpening':
            # Recorded as a failure; dismissed so that the page goes on.
            self.next_id += 1
            os.write(self.to_w, json.dumps({'id': self.next_id, 'method': 'Page.handleJavaScriptDialog',
                                            'params': {'accept': False}, 'sessionId': m.get('sessionId')}).encode() + b'\0')
        return m

    def send(self, method, params=None, timeout=60, session=True):
        self.next_id += 1
        my_id = self.next_id
        msg = {'id': my_id, 'method': method, 'params': params or {}}
        if session and self.session:
            msg['sessionId'] = self.session
        os.write(self.to_w, json.dumps(msg).encode() + b'\0')
        deadline = time.time() + timeout
        while True:
            m = self._read_message(deadline)
            if m.get('id') == my_id:
                if 'error' in m:
                    raise RuntimeError(method + ': ' + json.dumps(m['error']))
                return m.get('result', {})
            self.events.append(m)

    def wait_event(self, method, timeout=60):
        deadline = time.time() + timeout
        while True:
            for i, e in enumerate(self.events):
                if e.get('method') == method:
                    return self.events.pop(i)
            self.events.append(self._read_message(deadline))

    def js(self, expression, timeout=60):
        r = self.send('Runtime.evaluate', {'expression': expression, 'awaitPromise': True,
                                           'returnByValue': True}, timeout)
        if 'exceptionDetails' in r:
            raise RuntimeError('script failed: ' + json.dumps(r['exceptionDetails'])[:600])
        return r['result'].get('value')

    def key(self, key, code, vk):
        for kind in ('rawKeyDown', 'keyUp'):
            self.send('Input.dispatchKeyEvent', {'type': kind, 'key': key, 'code': code,
                                                 'windowsVirtualKeyCode': vk, 'nativeVirtualKeyCode': vk})
        if key == ' ':
            self.send('Input.dispatchKeyEvent', {'type': 'char', 'text': ' '})

    def close(self):
        try:
            self.send('Browser.close', session=False, timeout=10)
        except Exception:
            pass
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


def read_content(path):
    root = ET.parse(path).getroot()
    scenes = [(float(s.get('pos')), s.get('caption', ''), s.get('image', '')) for s in root.iter('scene')]
    points = [(float(p.get('t')), float(p.get('x')), float(p.get('y'))) for p in root.iter('p')]
    return scenes, points


def in_force(times, t):
    """The entry the editor's stage selects at t: the last whose time is at or before t, else the first."""
    k = 0
    for i, v in enumerate(times):
        if v <= t:
            k = i
    return k


# The page helpers: a seek that resolves when the video has the frame, and what the page shows.
HELPERS = r'''
window.T = {
  v: document.getElementById('video'),
  seek(t) {
    return new Promise(res => {
      const v = this.v;
      const done = () => { v.removeEventListener('seeked', done); res(this.state()); };
      v.addEventListener('seeked', done);
      v.currentTime = t;
    });
  },
  seeked() {
    return new Promise(res => {
      const v = this.v;
      if (!v.seeking) { res(this.state()); return; }
      const done = () => { v.removeEventListener('seeked', done); res(this.state()); };
      v.addEventListener('seeked', done);
    });
  },
  choose(id, value) {
    const c = document.getElementById(id);
    c.value = value;
    c.dispatchEvent(new Event('change'));
    return this.seeked();
  },
  rect(el) { const r = el.getBoundingClientRect(); return [r.left, r.top, r.width, r.height]; },
  state() {
    const $ = id => document.getElementById(id);
    const p = $('pointer');
    return { time: this.v.currentTime, paused: this.v.paused, rate: this.v.playbackRate,
             slide: Number($('slideBox').dataset.slide), src: $('imgSlide').getAttribute('src'),
             caption: $('lbCaption').textContent, box: this.rect($('imgSlide')),
             pointer: p.hidden ? null : this.rect(p), chapter: $('cbChapter').value,
             imgLoaded: $('imgSlide').complete && $('imgSlide').naturalWidth > 0 };
  },
};
true
'''


def check_page(b, url, scenes, points, shot, phone, fail):
    where = 'phone' if phone else 'desktop'
    if phone:
        b.send('Emulation.setDeviceMetricsOverride', {'width': 390, 'height': 844, 'deviceScaleFactor': 2,
                                                     'mobile': True})
    else:
        b.send('Emulation.setDeviceMetricsOverride', {'width': 1280, 'height': 800, 'deviceScaleFactor': 1,
                                                     'mobile': False})
    b.events.clear()
    b.send('Page.navigate', {'url': url})
    b.wait_event('Page.loadEventFired')
    b.js(HELPERS)
    ready = b.js('''new Promise(res => { const v = T.v; const t0 = Date.now();
        (function wait() { if (v.readyState >= 2 || v.error || Date.now() - t0 > 30000)
          res({ready: v.readyState, error: v.error && v.error.code, duration: v.duration}); else setTimeout(wait, 50); })(); })''')
    if ready['ready'] < 2:
        fail(where, 'the video does not load: %r' % ready)
        return
    duration = ready['duration']

    # The layout: side by side on a desktop, the slide above the video on a phone.
    slide_r = b.js("T.rect(document.getElementById('slidePane'))")
    video_r = b.js("T.rect(document.getElementById('videoPane'))")
    if phone and not video_r[1] >= slide_r[1] + slide_r[3] - 1:
        fail(where, 'slide and video not stacked: %r %r' % (slide_r, video_r))
    if not phone and not (video_r[0] >= slide_r[0] + slide_r[2] - 1 and abs(video_r[1] - slide_r[1]) < 2):
        fail(where, 'slide and video not side by side: %r %r' % (slide_r, video_r))
    if slide_r[0] + slide_r[2] > (390 if phone else 1280) + 1:
        fail(where, 'the slide runs off the screen: %r' % (slide_r,))

    # Ten random times: the slide content.xml gives, the pointer within 2 px of the track.
    rng = random.Random(27 + phone)
    times = [rng.uniform(0, duration - 0.2) for _ in range(10)]
    for t in times:
        s = b.js('T.seek(%r)' % t)
        t = s['time']
        want = in_force([p for p, _, _ in scenes], t)
        if s['slide'] != want or s['caption'] != scenes[want][1]:
            fail(where, 'at %.3f s slide %d "%s" shown, content.xml gives %d "%s"'
                 % (t, s['slide'], s['caption'], want, scenes[want][1]))
        pt = points[in_force([p for p, _, _ in points], t)]
        left, top, width, height = s['box']
        ex = left + (pt[1] + 10 / STAGE_W) * width
        ey = top + (pt[2] + 10 / STAGE_H) * height
        if s['pointer'] is None:
            fail(where, 'at %.3f s no pointer shown' % t)
            continue
        px = s['pointer'][0] + s['pointer'][2] / 2
        py = s['pointer'][1] + s['pointer'][3] / 2
        if abs(px - ex) > 2 or abs(py - ey) > 2:
            fail(where, 'at %.3f s pointer at (%.1f, %.1f), track at (%.1f, %.1f)' % (t, px, py, ex, ey))

    # Thumbnails, clicked while paused: the slide at once, the video at its time.
    b.js('T.v.pause(), true')
    count = b.js("document.querySelectorAll('#thumbs button').length")
    if count != len(scenes):
        fail(where, '%d thumbnails for %d slides' % (count, len(scenes)))
    for k in (len(scenes) - 1, 2):
        s = b.js("document.querySelectorAll('#thumbs button')[%d].click(), T.seeked()" % k)
        if s['slide'] != k or abs(s['time'] - scenes[k][0]) > 0.05 or not s['paused']:
            fail(where, 'thumbnail %d: %r' % (k, s))
    b.js("new Promise(r => { const i = document.getElementById('imgSlide'); if (i.complete) r(); else i.onload = r; })")
    if not b.js("T.state().imgLoaded"):
        fail(where, 'the slide picture does not load')

    # Chapters: one per slide, titled with the caption; choosing one seeks to it.
    chapters = b.js("[...document.querySelectorAll('#cbChapter option')].map(o => o.textContent)")
    if len(chapters) != len(scenes) or not chapters[1].endswith(scenes[1][1]):
        fail(where, 'chapters: %r' % chapters)
    s = b.js("T.choose('cbChapter', '4')")
    if s['slide'] != 4 or abs(s['time'] - scenes[4][0]) > 0.05:
        fail(where, 'chapter 5: %r' % s)

    # Keys: → and ← step 5 s, Home and End, Space plays and pauses.
    b.js("document.activeElement.blur(), T.seek(20)")
    for keys, want in ((['ArrowRight'], 25), (['ArrowLeft', 'ArrowLeft'], 15), (['End'], duration), (['Home'], 0)):
        for k in keys:
            b.key(k, k, KEY_CODES[k])
        s = b.js('T.seeked()')
        if abs(s['time'] - want) > 0.1 or s['slide'] != in_force([p for p, _, _ in scenes], s['time']):
            fail(where, '%s gave %r, want %.3f s' % (' '.join(keys), s, want))

    # Speed: 2x plays twice as fast (its rate; the clock here is too loaded to time it).
    b.js("T.choose('cbSpeed', '2')")
    b.key(' ', 'Space', 32)
    s = b.js("new Promise(r => setTimeout(() => r(T.state()), 1500))")
    if s['rate'] != 2 or s['paused'] or s['time'] <= 0:
        fail(where, 'Space at 2x: %r' % s)
    b.key(' ', 'Space', 32)
    if not b.js('T.v.paused'):
        fail(where, 'Space does not pause')
    b.js("T.choose('cbSpeed', '0.5')")
    if b.js('T.v.playbackRate') != 0.5:
        fail(where, 'speed 0.5x not set')

    # Search over the captions: hits listed as text, a hit seeks to its slide.
    hostile = next(i for i, sc in enumerate(scenes) if sc[1] == HOSTILE)
    b.js("document.getElementById('txtSearch').focus(), true")
    b.send('Input.insertText', {'text': 'ONERROR'})
    hits = b.js("[...document.querySelectorAll('#lstHits button')].map(h => [Number(h.dataset.slide), h.textContent])")
    if [h[0] for h in hits] != [hostile] or not hits[0][1].endswith(HOSTILE):
        fail(where, 'search "ONERROR": %r' % hits)
    # Keys typed in the box move nothing.
    before = b.js('T.v.currentTime')
    b.key('End', 'End', 35)
    if b.js('T.v.currentTime') != before:
        fail(where, 'End typed in the search box moved the video')
    s = b.js("document.querySelector('#lstHits button').click(), T.seeked()")
    if s['slide'] != hostile or s['caption'] != HOSTILE:
        fail(where, 'search hit: %r' % s)
    b.js("(() => { const i = document.getElementById('txtSearch'); i.value = '';"
         " i.dispatchEvent(new Event('input')); return true; })()")
    b.send('Input.insertText', {'text': '講義　まとめ'})
    hits = b.js("[...document.querySelectorAll('#lstHits button')].map(h => Number(h.dataset.slide))")
    want = [i for i, sc in enumerate(scenes) if '講義' in sc[1] and 'まとめ' in sc[1]]
    if hits != want or not want:
        fail(where, 'search "講義 まとめ": %r, want %r' % (hits, want))
    # The hostile caption is text everywhere: no element was made of it, no dialog came up.
    if b.js("document.querySelectorAll('img[src=x], #lstHits img, #lbCaption *, #thumbs span *').length") != 0:
        fail(where, 'markup made from a caption')

    b.js("document.activeElement.blur(), T.seek(%r)" % (scenes[hostile][0] + 1))
    b.js("new Promise(r => { const i = document.getElementById('imgSlide'); if (i.complete) r(); else i.onload = r; })")
    png = b.send('Page.captureScreenshot', {'format': 'png'})['data']
    with open(shot, 'wb') as f:
        f.write(base64.b64decode(png))

    for e in b.events:
        m = e.get('method')
        if m == 'Page.javascriptDialogOpening':
            fail(where, 'a dialog opened: %r' % e['params'].get('message'))
        if m == 'Runtime.exceptionThrown':
            fail(where, 'script error: %s' % json.dumps(e['params'])[:400])
        if m == 'Network.requestWillBeSent':
            u = e['params']['request']['url']
            if not u.startswith('file:'):
                fail(where, 'network request: ' + u)


def main():
    chromium, package, content, shots = sys.argv[1:5]
    scenes, points = read_content(content)
    failures = []

    def fail(where, text):
        failures.append('%s: %s' % (where, text))

    with tempfile.TemporaryDirectory(prefix='kemo-web-chromium-') as profile:
        b = Browser(chromium, profile)
        try:
            target = next(t for t in b.send('Target.getTargets')['targetInfos'] if t['type'] == 'page')
            b.session = b.send('Target.attachToTarget', {'targetId': target['targetId'], 'flatten': True})['sessionId']
            for domain in ('Page', 'Runtime', 'Network'):
                b.send(domain + '.enable')
            url = 'file://' + os.path.abspath(os.path.join(package, 'index.html'))
            for phone in (False, True):
                check_page(b, url, scenes, points, shots + ('-phone.png' if phone else '-desktop.png'), phone, fail)
        finally:
            b.close()
    for f in failures:
        print('FAIL ' + f)
    print('%d failures' % len(failures))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
