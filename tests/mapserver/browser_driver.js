// Drives headless Chromium over the DevTools protocol (through --remote-debugging-pipe, so
// it needs nothing but Node.js and the browser) for the web-page tests: opens the web map,
// waits for its WMS images, takes screenshots, clicks a point, opens the PHP pages and
// fetches plain URLs. It judges nothing: it writes what it saw to OUT/report.txt, one
// tab-separated record a line, for the test to check.
//
//   node browser_driver.js --chromium PATH --out DIR --map URL [--click LAT,LON,ZOOM]
//                          [--page URL]... [--fetch URL=FILE]...
'use strict';
const {spawn} = require('child_process');
const fs = require('fs');
const path = require('path');

const args = {page: [], fetch: []};
for (let i = 2; i < process.argv.length; i += 2) {
  const key = process.argv[i].replace(/^--/, '');
  if (Array.isArray(args[key])) args[key].push(process.argv[i + 1]);
  else args[key] = process.argv[i + 1];
}
const WIDTH = 1000, HEIGHT = 700;
const report = [];
const record = (...fields) => report.push(fields.map((f) => String(f).replace(/[\t\r\n]+/g, ' ')).join('\t'));
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

function launch() {
  const profile = fs.mkdtempSync(path.join(args.out, 'profile-'));
  const browser = spawn(args.chromium, [
    '--headless=new', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--disable-extensions', '--disable-dev-shm-usage', '--hide-scrollbars', '--mute-audio',
    '--force-device-scale-factor=1', `--window-size=${WIDTH},${HEIGHT}`,
    `--user-data-dir=${profile}`, '--remote-debugging-pipe', 'about:blank',
  ], {stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe']});
  browser.stderr.on('data', () => {});
  return {browser, profile};
}

// The protocol over the pipe: JSON messages ended by a NUL byte.
class Connection {
  constructor(browser) {
    this.writer = browser.stdio[3];
    this.next = 1;
    this.pending = new Map();
    this.listeners = [];
    let buffered = Buffer.alloc(0);
    browser.stdio[4].on('data', (chunk) => {
      buffered = Buffer.concat([buffered, chunk]);
      for (let end; (end = buffered.indexOf(0)) >= 0;) {
        const message = JSON.parse(buffered.subarray(0, end).toString('utf8'));
        buffered = buffered.subarray(end + 1);
        if (message.id && this.pending.has(message.id)) {
          const {resolve, reject, method} = this.pending.get(message.id);
          this.pending.delete(message.id);
          if (message.error) reject(new Error(`${method}: ${message.error.message}`));
          else resolve(message.result);
        } else if (message.method) {
          for (const listener of this.listeners) listener(message);
        }
      }
    });
  }
  send(method, params = {}, sessionId = undefined) {
    const id = this.next++;
    const message = {id, method, params};
    if (sessionId) message.sessionId = sessionId;
    this.writer.write(JSON.stringify(message) + '\0');
    return new Promise((resolve, reject) => this.pending.set(id, {resolve, reject, method}));
  }
}

async function main() {
  fs.mkdirSync(args.out, {recursive: true});
  const {browser, profile} = launch();
  const connection = new Connection(browser);
  const deadline = setTimeout(() => {
    process.stderr.write('browser_driver: no end after 500 s\n');
    browser.kill('SIGKILL');
    process.exit(3);
  }, 500000);
  try {
    const {targetInfos} = await connection.send('Target.getTargets');
    const target = targetInfos.find((t) => t.type === 'page');
    const {sessionId} = await connection.send('Target.attachToTarget', {targetId: target.targetId, flatten: true});
    const send = (method, params) => connection.send(method, params, sessionId);

    const responses = new Map();  // requestId -> response
    let loaded = false;
    connection.listeners.push((message) => {
      const p = message.params;
      if (message.method === 'Runtime.exceptionThrown')
        record('error', 'exception', p.exceptionDetails.exception ? p.exceptionDetails.exception.description
                                                                     : p.exceptionDetails.text);
      else if (message.method === 'Runtime.consoleAPICalled' && p.type === 'error')
        record('error', 'console', p.args.map((a) => a.value || a.description).join(' '));
      else if (message.method === 'Log.entryAdded' && p.entry.level === 'error')
        record('error', 'log', `${p.entry.text} ${p.entry.url || ''}`);
      else if (message.method === 'Network.loadingFailed' && !p.canceled)
        record('error', 'network', p.errorText, (responses.get(p.requestId) || {}).url || '');
      else if (message.method === 'Network.responseReceived')
        responses.set(p.requestId, {url: p.response.url, status: p.response.status, mime: p.response.mimeType,
                                    type: p.type, finished: false});
      else if (message.method === 'Network.loadingFinished' && responses.has(p.requestId))
        responses.get(p.requestId).finished = true;
      else if (message.method === 'Page.loadEventFired')
        loaded = true;
    });
    for (const domain of ['Page', 'Runtime', 'Network', 'Log']) await send(`${domain}.enable`);
    await send('Emulation.setDeviceMetricsOverride', {width: WIDTH, height: HEIGHT, deviceScaleFactor: 1, mobile: false});

    const evaluate = async (expression) => {
      const {result, exceptionDetails} = await send('Runtime.evaluate', {expression, returnByValue: true, awaitPromise: true});
      if (exceptionDetails) throw new Error(`${expression}: ${exceptionDetails.text}`);
      return result.value;
    };
    const waitFor = async (expression, what, ms = 120000) => {
      for (const end = Date.now() + ms; Date.now() < end; await sleep(200))
        if (await evaluate(expression)) return;
      throw new Error(`timed out waiting for ${what}`);
    };
    const open = async (url) => {
      loaded = false;
      const {errorText} = await send('Page.navigate', {url});
      if (errorText) throw new Error(`${url}: ${errorText}`);
      for (const end = Date.now() + 30000; !loaded; await sleep(100))
        if (Date.now() > end) throw new Error(`${url} did not load`);
    };
    const screenshot = async (name) => {
      const {data} = await send('Page.captureScreenshot', {format: 'png'});
      fs.writeFileSync(path.join(args.out, name), Buffer.from(data, 'base64'));
    };
    const imagesDone = '[...document.images].every((i) => i.complete)';
    // Every image response since `from`: its status, type, and whether the body is a PNG.
    const recordImages = async (kind, from) => {
      for (const [requestId, r] of responses) {
        if (r.order < from || r.type !== 'Image') continue;
        let png = 0;
        try {
          const {body, base64Encoded} = await send('Network.getResponseBody', {requestId});
          const bytes = base64Encoded ? Buffer.from(body, 'base64') : Buffer.from(body, 'binary');
          png = bytes.subarray(0, 4).equals(Buffer.from([0x89, 0x50, 0x4e, 0x47])) ? 1 : 0;
        } catch (e) {
          png = 0;
        }
        record(kind, r.status, r.mime, png, r.url);
      }
    };
    let order = 0;
    connection.listeners.push((message) => {
      if (message.method === 'Network.responseReceived') responses.get(message.params.requestId).order = order++;
    });

    // The web map at the run's extent.
    await open(args.map);
    await waitFor(`document.body.dataset.wms === 'loaded' && ${imagesDone}`, 'the WMS images');
    await sleep(500);
    await screenshot('web_map.png');
    record('view', ...(await evaluate(`(() => {
      const m = window.gridoraMap, b = m.getBounds(), s = m.getSize(), r = m.getContainer().getBoundingClientRect();
      const lo = m.options.crs.project(b.getSouthWest()), hi = m.options.crs.project(b.getNorthEast());
      return [lo.x, lo.y, hi.x, hi.y, s.x, s.y, r.left, r.top, m.getZoom()];
    })()`)));
    record('layers', await evaluate(`[...document.querySelectorAll('.gridora-layer')].map((l) => l.textContent).join('|')`));
    await recordImages('image', 0);

    if (args.click) {
      const [lat, lon, zoom] = args.click.split(',').map(Number);
      await evaluate(`window.gridoraMap.setView([${lat}, ${lon}], ${zoom}, {animate: false}), true`);
      await sleep(300);
      await waitFor(`document.body.dataset.wms === 'loaded'`, 'the zoomed WMS images');
      const [x, y] = await evaluate(`(() => {
        const p = window.gridoraMap.latLngToContainerPoint([${lat}, ${lon}]), r = window.gridoraMap.getContainer().getBoundingClientRect();
        return [Math.round(p.x + r.left), Math.round(p.y + r.top)];
      })()`);
      for (const type of ['mousePressed', 'mouseReleased'])
        await send('Input.dispatchMouseEvent', {type, x, y, button: 'left', clickCount: 1});
      await waitFor(`!!document.querySelector('.leaflet-popup-content') && document.querySelector('.leaflet-popup-content').textContent.length > 0`, 'the attribute popup');
      await sleep(300);
      await screenshot('web_map_click.png');
      record('popup', await evaluate(`[...document.querySelectorAll('.leaflet-popup-content tr, .leaflet-popup-content caption')].map((e) => e.textContent).join(' | ') || document.querySelector('.leaflet-popup-content').textContent`));
    }

    for (const [index, url] of args.page.entries()) {
      const from = order;
      await open(url);
      await waitFor(imagesDone, `the images of ${url}`);
      await screenshot(`page_${index}.png`);
      const doc = [...responses.values()].find((r) => r.order >= from && r.type === 'Document');
      record('page', doc ? doc.status : 0, doc ? doc.mime : '', url,
             await evaluate(`document.title + ' / ' + document.images.length + ' images / ' + [...document.images].filter((i) => i.naturalWidth > 0).length + ' drawn'`));
      await recordImages('pageimage', from);
    }
    for (const pair of args.fetch) {
      const at = pair.lastIndexOf('=');
      const answer = await fetch(pair.slice(0, at));
      fs.writeFileSync(pair.slice(at + 1), Buffer.from(await answer.arrayBuffer()));
      record('fetch', answer.status, answer.headers.get('content-type'), pair.slice(0, at));
    }
  } finally {
    clearTimeout(deadline);
    fs.writeFileSync(path.join(args.out, 'report.txt'), report.join('\n') + '\n');
    browser.kill('SIGTERM');
    await new Promise((resolve) => { if (browser.exitCode !== null) resolve(); else browser.on('exit', resolve); });
    // Chromium's helper processes may outlive the browser for a moment and still write into
    // the profile: retry, and leave what remains to the test's own folder clean-up.
    try {
      fs.rmSync(profile, {recursive: true, force: true, maxRetries: 10, retryDelay: 200});
    } catch (error) {
      process.stderr.write(`browser_driver: profile left in place: ${error.message}\n`);
    }
  }
}

main().then(() => process.exit(0), (error) => {
  process.stderr.write(`browser_driver: ${error.stack || error}\n`);
  process.exit(1);
});
