#!/usr/bin/env node
// preview-live.mjs LOOMCSS DATA
//
// The live preview seen from a real browser: headless Chromium (puppeteer-core, driving
// $CHROMIUM, default /usr/bin/chromium) opens the pages that `LOOMCSS preview --no-open`
// serves, the test writes the sheet on disk as another editor would, and the page must
// show each change without a reload. DATA is tests/data. Checks:
//   - the first line of loomcss's output is the page's URL;
//   - the built-in sample page holds every common HTML element and takes the sheet;
//   - a change of the sheet written in place, and one renamed over it, changes an
//     element's computed colour in every open page; what a script, the user's input and
//     the scroll position set in the page before stays (no reload);
//   - a text the editor's reader refuses is not pushed (the page keeps the last good
//     sheet) and loomcss prints FILE:LINE:COLUMN: reason on standard error;
//   - a committed page with a committed real sheet (bootstrap.css, linked by file name):
//     the <link> is replaced by the pushed text, an edit of the .lead rule's colour
//     reaches the page;
//   - SIGTERM stops loomcss with status 0.
// Prints the delays from the write of the file to the changed colour in the page.
// Exit 0 when every check passes, 1 on a failure, 3 when the judges or the browser are
// missing, 4 on a fault.

import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { headlessChromium, EXIT_SETUP } from './load-judges.mjs';

const [loomcss, data] = process.argv.slice(2);
if (!loomcss || !data) {
    process.stderr.write('usage: preview-live.mjs LOOMCSS DATA\n');
    process.exit(EXIT_SETUP);
}
const launchChromium = headlessChromium();

let failures = 0;
function check(ok, what) {
    console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
    if (!ok) failures++;
}

// Starts `loomcss preview`; resolves with the process, its first line of output and
// everything it writes on standard error.
function startPreview(args) {
    const child = spawn(loomcss, ['preview', ...args, '--no-open'], { stdio: ['ignore', 'pipe', 'pipe'] });
    const run = { child, stderr: '', exited: null };
    child.stderr.on('data', (d) => { run.stderr += d; });
    run.exit = new Promise((resolve) => child.on('exit', (code, signal) => { run.exited = { code, signal }; resolve(run.exited); }));
    return new Promise((resolve, reject) => {
        let out = '';
        child.stdout.on('data', (d) => {
            out += d;
            const end = out.indexOf('\n');
            if (end >= 0 && !run.url) {
                run.url = out.slice(0, end);
                resolve(run);
            }
        });
        run.exit.then(() => reject(new Error(`loomcss preview ended before its URL: ${run.stderr}`)));
        setTimeout(() => reject(new Error('loomcss preview printed no URL in 30 s')), 30000);
    });
}

async function stopPreview(run) {
    const started = Date.now();
    run.child.kill('SIGTERM');
    const timeout = new Promise((resolve) => setTimeout(() => resolve(null), 5000));
    const exited = await Promise.race([run.exit, timeout]);
    check(exited && exited.code === 0, `SIGTERM stops loomcss preview with status 0 (${exited ? `${exited.code}, ${Date.now() - started} ms` : 'still running'})`);
    if (!exited) run.child.kill('SIGKILL');
}

// Arms, in each page, a wait for `selector`'s computed colour to become `colour`: a
// MutationObserver on the whole document sees the sheet's text replaced and notes the
// time (the machine's clock, as Date.now() here).
async function armColourWait(pages, selector, colour) {
    for (const page of pages) {
        await page.evaluate((selector, colour) => {
            const element = document.querySelector(selector);
            window.__lwSeen = new Promise((resolve) => {
                const seen = () => getComputedStyle(element).color === colour;
                if (seen()) return resolve(Date.now());
                const observer = new MutationObserver(() => {
                    if (seen()) { observer.disconnect(); resolve(Date.now()); }
                });
                observer.observe(document, { subtree: true, childList: true, characterData: true, attributes: true });
                setTimeout(() => { observer.disconnect(); resolve(null); }, 5000);
            });
        }, selector, colour);
    }
}

// The delay from `written` to the colour in each page, or null where it never came.
async function colourDelays(pages, written) {
    const delays = [];
    for (const page of pages) {
        const at = await page.evaluate(() => window.__lwSeen);
        delays.push(at === null ? null : at - written);
    }
    return delays;
}

async function colourOf(page, selector) {
    return page.evaluate((s) => getComputedStyle(document.querySelector(s)).color, selector);
}

// Writes the file in place (truncated and written, as most editors do).
function writeInPlace(file, text) {
    fs.writeFileSync(file, text);
    return Date.now();
}

// Writes a new file beside it and renames it over the old one (as editors that save
// atomically do).
function writeByRename(file, text) {
    const temporary = `${file}.new`;
    fs.writeFileSync(temporary, text);
    fs.renameSync(temporary, file);
    return Date.now();
}

async function openPage(browser, url) {
    const page = await browser.newPage();
    await page.goto(url, { waitUntil: 'load' });
    await page.waitForFunction(() => (window.__loomwrightSheets || 0) >= 1, { timeout: 10000 });
    return page;
}

// What a page's script, its user and its scroll set; all of it goes with a reload.
async function setState(page) {
    await page.type('input[type="text"]', 'typed');
    await page.evaluate(() => {
        window.__lwMarker = 'set before the change';
        window.scrollTo(0, 400);
    });
}

async function keptState(page) {
    return page.evaluate(() => ({
        marker: window.__lwMarker,
        input: document.querySelector('input[type="text"]').value,
        scrolled: window.scrollY,
        navigations: performance.getEntriesByType('navigation').length,
    }));
}

function summary(delays) {
    const known = delays.filter((d) => d !== null).sort((a, b) => a - b);
    if (!known.length) return 'none arrived';
    return `median ${known[Math.floor(known.length / 2)]} ms, max ${known[known.length - 1]} ms over ${known.length}`;
}

async function samplePage(browser, tmp) {
    const folder = path.join(tmp, 'sample');
    fs.mkdirSync(folder);
    const sheet = path.join(folder, 'theme.css');
    fs.writeFileSync(sheet, 'h1 { color: rgb(1, 2, 3) }\nbody { background-image: url(dot.svg) }\n');
    fs.writeFileSync(path.join(folder, 'dot.svg'), '<svg xmlns="http://www.w3.org/2000/svg" width="4" height="4"/>');
    const run = await startPreview([sheet]);
    check(/^http:\/\/127\.0\.0\.1:\d+\/[0-9a-f]{32}\/__loomwright-sample\.html$/.test(run.url),
        `the first line is the sample page's URL (${run.url})`);
    const first = await openPage(browser, run.url);
    const second = await openPage(browser, run.url);
    const pages = [first, second];

    const missing = await first.evaluate(() => {
        const wanted = ['h1', 'h2', 'h3', 'h4', 'h5', 'h6', 'p', 'a', 'strong', 'em', 'code', 'pre', 'blockquote',
            'ul', 'ol', 'dl', 'table', 'caption', 'thead', 'tbody', 'th', 'td', 'form', 'fieldset', 'legend',
            'label', 'input[type="text"]', 'input[type="checkbox"]', 'input[type="radio"]', 'input[type="range"]',
            'select', 'textarea', 'button', 'progress', 'meter', 'img', 'figure', 'figcaption', 'video', 'audio',
            'details', 'summary', 'dialog', 'hr'];
        return wanted.filter((s) => !document.querySelector(s));
    });
    check(missing.length === 0, `the sample page holds every common element${missing.length ? ` (missing: ${missing})` : ''}`);
    check(await colourOf(first, 'h1') === 'rgb(1, 2, 3)', 'the sample page takes the sheet as it was at start');
    // The sheet's relative url() reaches the file beside the sheet.
    const image = await first.waitForFunction(() => performance.getEntriesByType('resource')
        .find((e) => e.name.endsWith('/dot.svg') && e.responseStatus === 200), { timeout: 5000 }).then(() => true, () => false);
    check(image, "a relative url() in the sheet shown on the sample page loads the file beside the sheet");

    await setState(first);
    const delays = [];
    let colour = 10;
    for (const write of [writeInPlace, writeByRename, writeInPlace, writeByRename, writeInPlace, writeInPlace]) {
        colour++;
        const expected = `rgb(${colour}, 2, 3)`;
        await armColourWait(pages, 'h1', expected);
        const written = write(sheet, `h1 { color: ${expected} }\n`);
        const got = await colourDelays(pages, written);
        check(got.every((d) => d !== null), `${write.name}: ${expected} reaches both pages (${got.join(', ')} ms)`);
        delays.push(...got);
    }
    const state = await keptState(first);
    check(state.marker === 'set before the change' && state.input === 'typed' && state.scrolled === 400 &&
        state.navigations === 1, `the page was not reloaded: ${JSON.stringify(state)}`);

    // A text the reader refuses ("}" that closes no block) is not pushed.
    const before = await colourOf(first, 'h1');
    const refusedAt = writeInPlace(sheet, 'h1 { color: rgb(99, 2, 3) }\n}\n');
    await new Promise((resolve) => setTimeout(resolve, 700));
    check(await colourOf(first, 'h1') === before, 'a refused text is not pushed: the page keeps the last good sheet');
    check(/theme\.css:2:1: .+/.test(run.stderr), `its reason is printed with its place: ${JSON.stringify(run.stderr.trim())}`);
    await armColourWait(pages, 'h1', 'rgb(50, 2, 3)');
    const fixed = writeInPlace(sheet, 'h1 { color: rgb(50, 2, 3) }\n');
    const after = await colourDelays(pages, fixed);
    check(after.every((d) => d !== null), `the next good text reaches the pages (${after.join(', ')} ms; ${fixed - refusedAt} ms after the refused one)`);

    await first.close();
    await second.close();
    await stopPreview(run);
    return delays;
}

async function realSheet(browser, tmp) {
    const folder = path.join(tmp, 'site');
    fs.mkdirSync(folder);
    const sheet = path.join(folder, 'bootstrap.css');
    const pageFile = path.join(folder, 'index.html');
    fs.copyFileSync(path.join(data, 'real', 'bootstrap.css'), sheet);
    fs.copyFileSync(path.join(data, 'preview', 'bootstrap-page.html'), pageFile);
    const original = fs.readFileSync(sheet, 'utf8');
    const lead = '.lead {\n  font-size: 1.25rem;';
    if (!original.includes(lead)) throw new Error('bootstrap.css has no .lead rule as expected');

    const run = await startPreview([sheet, '--page', pageFile]);
    check(/^http:\/\/127\.0\.0\.1:\d+\/[0-9a-f]{32}\/index\.html$/.test(run.url), `the first line is the page's URL (${run.url})`);
    const page = await openPage(browser, run.url);
    const start = await page.evaluate(() => ({
        links: document.querySelectorAll('link[href="bootstrap.css"]').length,
        styles: document.querySelectorAll('style[data-lw-sheet="bootstrap.css"]').length,
        weight: getComputedStyle(document.getElementById('probe')).fontWeight,
        align: getComputedStyle(document.getElementById('centred')).textAlign,
        colour: getComputedStyle(document.getElementById('probe')).color,
    }));
    check(start.links === 0 && start.styles === 1, `the <link> naming bootstrap.css is replaced by the pushed sheet (${JSON.stringify(start)})`);
    check(start.weight === '300' && start.align === 'center' && start.colour === 'rgb(33, 37, 41)',
        'the pushed bootstrap.css styles the page');

    await setState(page);
    const delays = [];
    const colours = ['#123456', '#654321', '#0a0b0c', '#102030', '#302010'];
    for (const hex of colours) {
        const rgb = `rgb(${parseInt(hex.slice(1, 3), 16)}, ${parseInt(hex.slice(3, 5), 16)}, ${parseInt(hex.slice(5, 7), 16)})`;
        await armColourWait([page], '#probe', rgb);
        const written = writeInPlace(sheet, original.replace(lead, `.lead {\n  color: ${hex};\n  font-size: 1.25rem;`));
        const [delay] = await colourDelays([page], written);
        check(delay !== null, `an edit of .lead's colour to ${hex} reaches the page (${delay} ms)`);
        delays.push(delay);
    }
    const state = await keptState(page);
    check(state.marker === 'set before the change' && state.input === 'typed' && state.scrolled === 400 &&
        state.navigations === 1, `the page was not reloaded: ${JSON.stringify(state)}`);
    check(await page.evaluate(() => getComputedStyle(document.getElementById('centred')).textAlign) === 'center',
        'the rest of the sheet still styles the page');
    await page.close();
    await stopPreview(run);
    return delays;
}

const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'lw-preview-'));
const browser = await launchChromium(tmp);
try {
    const sample = await samplePage(browser, tmp);
    const real = await realSheet(browser, tmp);
    console.log(`delay, file written to colour in the page, sample page: ${summary(sample)}`);
    console.log(`delay, file written to colour in the page, bootstrap.css (281 KB): ${summary(real)}`);
} finally {
    await browser.close();
    fs.rmSync(tmp, { recursive: true, force: true });
}
process.exit(failures ? 1 : 0);
