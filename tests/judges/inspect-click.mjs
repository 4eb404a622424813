#!/usr/bin/env node
// inspect-click.mjs URL SELECTOR
//
// A user's click in Inspect mode, from a real browser: headless Chromium (puppeteer-core,
// $CHROMIUM, default /usr/bin/chromium) opens URL, a page the editor serves with Inspect
// on, waits until the page inspects, clicks the element SELECTOR, and gives the page two
// seconds to send its report to the editor. What the editor makes of the report is the
// caller's to judge.
// Exit 0 once clicked, 3 when the judges or the browser are missing, 4 on a fault.

import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { headlessChromium, EXIT_SETUP } from './load-judges.mjs';

const [url, selector] = process.argv.slice(2);
if (!url || !selector) {
    process.stderr.write('usage: inspect-click.mjs URL SELECTOR\n');
    process.exit(EXIT_SETUP);
}
const launchChromium = headlessChromium();

const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'lw-click-'));
const browser = await launchChromium(tmp);
try {
    const page = await browser.newPage();
    await page.setViewport({ width: 800, height: 600 });
    await page.goto(url, { waitUntil: 'load' });
    await page.waitForFunction(() => window.__loomwright && window.__loomwright.inspecting, { timeout: 15000 });
    await page.click(selector);
    await new Promise((resolve) => setTimeout(resolve, 2000));
    console.log(`clicked ${selector}`);
} finally {
    await browser.close();
    fs.rmSync(tmp, { recursive: true, force: true });
}
