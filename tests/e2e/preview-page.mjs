#!/usr/bin/env node
// preview-page.mjs URL SHOTS
//
// The browser's side of the preview e2e test: headless Chromium (puppeteer-core, $CHROMIUM
// or /usr/bin/chromium) opens the page the editor serves, notes the computed line-height
// of the sample page's first paragraph, leaves a marker in the page's script state and
// takes a screenshot (SHOTS/preview-before.png); prints "ready", then waits (20 s at
// most) for the line-height to change, takes SHOTS/preview-after.png and checks that the
// page was not reloaded. Prints "before VALUE", "after VALUE"; exit 0 when the value
// changed without a reload, 1 otherwise, 3 when puppeteer-core or chromium is missing,
// 4 on a fault.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const { headlessChromium } = await import(path.join(here, '..', 'judges', 'load-judges.mjs'));
const [url, shots] = process.argv.slice(2);
if (!url || !shots) {
    process.stderr.write('usage: preview-page.mjs URL SHOTS\n');
    process.exit(3);
}
// The browser keeps its profile in a folder of its own, out of the user's home.
const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'lw-preview-page-'));
const browser = await headlessChromium()(profile);
let ok = false;
try {
    const page = await browser.newPage();
    await page.setViewport({ width: 900, height: 700 });
    await page.goto(url, { waitUntil: 'load' });
    await page.waitForFunction(() => (window.__loomwrightSheets || 0) >= 1, { timeout: 10000 });
    const lineHeight = () => page.evaluate(() => getComputedStyle(document.querySelector('p')).lineHeight);
    const before = await lineHeight();
    await page.evaluate(() => { window.__lwMarker = 'kept'; });
    await page.screenshot({ path: path.join(shots, 'preview-before.png') });
    console.log(`before ${before}`);
    console.log('ready');
    const changed = await page.waitForFunction(
        (was) => getComputedStyle(document.querySelector('p')).lineHeight !== was, { timeout: 20000 }, before)
        .then(() => true, () => false);
    const after = await lineHeight();
    await page.screenshot({ path: path.join(shots, 'preview-after.png') });
    const state = await page.evaluate(() => ({
        marker: window.__lwMarker,
        navigations: performance.getEntriesByType('navigation').length,
        sheets: window.__loomwrightSheets,
    }));
    console.log(`after ${after} ${JSON.stringify(state)}`);
    ok = changed && state.marker === 'kept' && state.navigations === 1;
} finally {
    await browser.close();
    fs.rmSync(profile, { recursive: true, force: true });
}
process.exit(ok ? 0 : 1);
