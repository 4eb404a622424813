#!/usr/bin/env node
// preview-inspect.mjs LOOMCSS
//
// Inspect mode seen from a real browser: for each case of a table (specificity, order of
// appearance, !important, @media and @supports that do and do not apply, @layer order,
// nesting), `LOOMCSS preview --page PAGE --no-open --inspect` serves a page with the
// case's sheet, headless Chromium (puppeteer-core, $CHROMIUM, default /usr/bin/chromium)
// opens it, turns Inspect on with Alt+Shift+I, clicks an element, and the line loomcss
// prints for the click must list the expected rules (by their position path among the
// sheet's rules, the way the editor finds them) in the expected cascade order, with the
// expected specificities and the expected declarations struck out. The browser's own
// computed style of the element must agree with the declarations left standing.
// Also: the page's toggle, a link not followed while inspecting, clicks passed through
// with Inspect off.
// Exit 0 when every check passes, 1 on a failure, 3 when the judges or the browser are
// missing, 4 on a fault.

import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { headlessChromium, EXIT_SETUP } from './load-judges.mjs';

const [loomcss] = process.argv.slice(2);
if (!loomcss) {
    process.stderr.write('usage: preview-inspect.mjs LOOMCSS\n');
    process.exit(EXIT_SETUP);
}
const launchChromium = headlessChromium();

let failures = 0;
function check(ok, what) {
    console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
    if (!ok) failures++;
}

// Each click expects the matched rules, winner first: the rule's path, and the
// properties of its declarations that are struck out (and, where given, its
// specificity). `computed` is what the browser's computed style must show.
const cases = [
    {
        name: 'specificity',
        sheet: `p { color: green; margin-top: 1px }
:where(p) { color: olive; margin-bottom: 4px }
.c { color: blue }
#x { color: red }
p:not(.z) { color: navy; padding-top: 3px }
#other, .c.c { margin-left: 7px }
`,
        body: '<p id="x" class="c">text</p>',
        clicks: [{
            target: '#x',
            expect: [
                { path: [3], specificity: [1, 0, 0], overridden: [] },
                { path: [5], specificity: [0, 2, 0], overridden: [] },
                { path: [4], specificity: [0, 1, 1], overridden: ['color'] },
                { path: [2], specificity: [0, 1, 0], overridden: ['color'] },
                { path: [0], specificity: [0, 0, 1], overridden: ['color'] },
                { path: [1], specificity: [0, 0, 0], overridden: ['color'] },
            ],
            computed: { color: 'rgb(255, 0, 0)', marginTop: '1px', marginBottom: '4px', paddingTop: '3px', marginLeft: '7px' },
        }],
    },
    {
        name: 'order of appearance',
        sheet: '.a { color: red; margin-top: 1px }\n.b { color: blue }\n.a { margin-top: 2px }\n',
        body: '<p class="a b" id="t">text</p>',
        clicks: [{
            target: '#t',
            expect: [
                { path: [2], overridden: [] },
                { path: [1], overridden: [] },
                { path: [0], overridden: ['color', 'margin-top'] },
            ],
            computed: { color: 'rgb(0, 0, 255)', marginTop: '2px' },
        }],
    },
    {
        name: '!important',
        sheet: '#t { color: red; margin-top: 1px !important }\np { color: blue !important; margin-top: 2px !important }\n.a { color: green !important }\n',
        body: '<p class="a" id="t">text</p>',
        clicks: [{
            target: '#t',
            expect: [
                { path: [0], overridden: ['color'] },
                { path: [2], overridden: [] },
                { path: [1], overridden: ['color', 'margin-top'] },
            ],
            computed: { color: 'rgb(0, 128, 0)', marginTop: '1px' },
        }],
    },
    {
        name: '@media and @supports',
        sheet: `p { color: black }
@media (min-width: 100px) { p { color: red } }
@media (max-width: 100px) { p { color: blue } }
@media print { p { color: green } }
@supports (display: grid) { p { margin-top: 3px } }
@supports (display: no-such-display) { p { margin-top: 9px } }
@media screen { @supports (color: red) { .a { margin-bottom: 5px } } }
`,
        body: '<p class="a" id="t">text</p>',
        clicks: [{
            target: '#t',
            expect: [
                { path: [6, 0, 0], overridden: [], blocks: ['@media screen', '@supports (color: red)'] },
                { path: [4, 0], overridden: [], blocks: ['@supports (display: grid)'] },
                { path: [1, 0], overridden: [], blocks: ['@media (min-width: 100px)'] },
                { path: [0], overridden: ['color'], blocks: [] },
            ],
            computed: { color: 'rgb(255, 0, 0)', marginTop: '3px', marginBottom: '5px' },
        }],
    },
    {
        name: '@layer order',
        sheet: `@layer base, theme;
@layer theme { p { color: red; padding-top: 1px !important } }
@layer base { #t { color: blue; padding-top: 2px !important; margin-top: 4px } }
p { color: green; padding-top: 3px }
@layer { .a { margin-top: 6px } }
@layer base.inner { .a { margin-bottom: 8px } }
`,
        body: '<p class="a" id="t">text</p>',
        clicks: [{
            target: '#t',
            // Unlayered first, then later layers before earlier ones; the anonymous layer
            // comes after theme; base.inner sits inside base, before base's own rules.
            expect: [
                { path: [3], overridden: ['padding-top'], layer: '' },
                { path: [4, 0], overridden: [], layer: '(anonymous)' },
                { path: [1, 0], overridden: ['color', 'padding-top'], layer: 'theme' },
                { path: [2, 0], overridden: ['color', 'margin-top'], layer: 'base' },
                { path: [5, 0], overridden: [], layer: 'base.inner' },
            ],
            computed: { color: 'rgb(0, 128, 0)', paddingTop: '2px', marginTop: '6px', marginBottom: '8px' },
        }],
    },
    {
        name: 'nesting',
        sheet: `.card {
  color: red;
  & .t { color: blue; }
  &:hover { color: pink; }
  .t { margin-top: 1px; }
  > .t { margin-bottom: 2px; }
  @media (min-width: 100px) { .t { padding-top: 3px; } }
}
.t { color: green; margin-top: 9px }
`,
        body: '<div class="card" style="padding: 20px"><p class="t" id="t">text</p></div>',
        clicks: [{
            target: '#t',
            expect: [
                { path: [0, 4, 0], specificity: [0, 2, 0], overridden: [] },
                { path: [0, 3], specificity: [0, 2, 0], overridden: [] },
                { path: [0, 2], specificity: [0, 2, 0], overridden: [] },
                { path: [0, 0], specificity: [0, 2, 0], overridden: [] },
                { path: [1], specificity: [0, 1, 0], overridden: ['color', 'margin-top'] },
            ],
            computed: { color: 'rgb(0, 0, 255)', marginTop: '1px', marginBottom: '2px', paddingTop: '3px' },
        }, {
            // Clicked in its padding: the pointer is over it, so &:hover applies too.
            target: '.card',
            offset: { x: 4, y: 4 },
            expect: [
                { path: [0, 1], specificity: [0, 2, 0], overridden: [] },
                { path: [0], specificity: [0, 1, 0], overridden: ['color'] },
            ],
            computed: { color: 'rgb(255, 192, 203)' },
        }],
    },
];

function startPreview(args) {
    const child = spawn(loomcss, ['preview', ...args, '--no-open', '--inspect'], { stdio: ['ignore', 'pipe', 'pipe'] });
    const run = { child, stderr: '', lines: [], waiting: null };
    child.stderr.on('data', (d) => { run.stderr += d; });
    run.exit = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
    let out = '';
    child.stdout.on('data', (d) => {
        out += d;
        for (let end; (end = out.indexOf('\n')) >= 0; out = out.slice(end + 1)) {
            run.lines.push(out.slice(0, end));
            if (run.waiting) run.waiting();
        }
    });
    // The next line of output, or null after `ms`.
    run.nextLine = (ms) => new Promise((resolve) => {
        if (run.lines.length) return resolve(run.lines.shift());
        const timer = setTimeout(() => { run.waiting = null; resolve(null); }, ms);
        run.waiting = () => { clearTimeout(timer); run.waiting = null; resolve(run.lines.shift()); };
    });
    return run;
}

async function stopPreview(run) {
    run.child.kill('SIGTERM');
    const exited = await Promise.race([run.exit, new Promise((r) => setTimeout(() => r(null), 5000))]);
    if (!exited) run.child.kill('SIGKILL');
    check(exited && exited.code === 0, 'loomcss preview stops on SIGTERM with status 0');
}

const same = (a, b) => JSON.stringify(a) === JSON.stringify(b);

function compareRules(got, expected) {
    const problems = [];
    if (got.length !== expected.length)
        problems.push(`${got.length} rules, expected ${expected.length}`);
    for (let i = 0; i < Math.min(got.length, expected.length); i++) {
        const g = got[i], e = expected[i];
        if (!same(g.path, e.path)) problems.push(`#${i}: path ${JSON.stringify(g.path)}, expected ${JSON.stringify(e.path)}`);
        if (e.specificity && !same(g.specificity, e.specificity))
            problems.push(`#${i} (${g.selector}): specificity ${JSON.stringify(g.specificity)}, expected ${JSON.stringify(e.specificity)}`);
        const struck = g.declarations.filter((d) => d.overridden).map((d) => d.property).sort();
        if (!same(struck, [...e.overridden].sort()))
            problems.push(`#${i} (${g.selector}): struck out ${JSON.stringify(struck)}, expected ${JSON.stringify(e.overridden)}`);
        if (e.blocks && !same(g.blocks, e.blocks)) problems.push(`#${i}: blocks ${JSON.stringify(g.blocks)}, expected ${JSON.stringify(e.blocks)}`);
        if (e.layer !== undefined && g.layer !== e.layer) problems.push(`#${i}: layer ${JSON.stringify(g.layer)}, expected ${JSON.stringify(e.layer)}`);
    }
    return problems;
}

async function runCase(browser, tmp, testCase, index) {
    const folder = path.join(tmp, `case${index}`);
    fs.mkdirSync(folder);
    fs.writeFileSync(path.join(folder, 'sheet.css'), testCase.sheet);
    fs.writeFileSync(path.join(folder, 'index.html'),
        `<!DOCTYPE html><html><head><link rel="stylesheet" href="sheet.css"></head><body>${testCase.body}` +
        '<a id="away" href="elsewhere.html">a link</a></body></html>');
    const run = startPreview([path.join(folder, 'sheet.css'), '--page', path.join(folder, 'index.html')]);
    const url = await run.nextLine(30000);
    if (!url) throw new Error(`loomcss preview printed no URL: ${run.stderr}`);
    const page = await browser.newPage();
    await page.setViewport({ width: 800, height: 600 });
    await page.goto(url, { waitUntil: 'load' });
    await page.waitForFunction(() => (window.__loomwrightSheets || 0) >= 1, { timeout: 10000 });

    // Alt+Shift+I turns Inspect on.
    await page.keyboard.down('Alt');
    await page.keyboard.down('Shift');
    await page.keyboard.press('KeyI');
    await page.keyboard.up('Shift');
    await page.keyboard.up('Alt');
    check(await page.evaluate(() => window.__loomwright.inspecting), `${testCase.name}: Alt+Shift+I turns Inspect on`);

    for (const click of testCase.clicks) {
        await page.click(click.target, click.offset ? { offset: click.offset } : {});
        const line = await run.nextLine(5000);
        let report = null;
        try { report = JSON.parse(line); } catch (e) { /* checked below */ }
        check(report && Array.isArray(report.rules), `${testCase.name}, ${click.target}: the click is reported (${line === null ? 'nothing' : line.slice(0, 80)})`);
        if (!report) continue;
        const problems = compareRules(report.rules, click.expect);
        check(problems.length === 0, `${testCase.name}, ${click.target}: ${report.rules.map((r) => `${r.selector} ${JSON.stringify(r.path)}`).join(' > ')}` +
            (problems.length ? `\n       ${problems.join('\n       ')}` : ''));
        const computed = await page.evaluate((selector, names) => {
            const style = getComputedStyle(document.querySelector(selector));
            return Object.fromEntries(names.map((n) => [n, style[n]]));
        }, click.target, Object.keys(click.computed));
        check(same(computed, click.computed), `${testCase.name}, ${click.target}: the browser's computed style agrees (${JSON.stringify(computed)})`);
        // The declarations left standing are what the browser computed for the element,
        // where their value is the computed one as written (colours as names are not).
        for (const rule of report.rules) {
            for (const d of rule.declarations) {
                const key = d.property.replace(/-(.)/g, (_, c) => c.toUpperCase());
                if (!d.overridden && /px$/.test(d.value) && key in click.computed)
                    check(click.computed[key] === d.value, `${testCase.name}: ${d.property}: ${d.value} stands and is the computed value`);
            }
        }
    }

    if (index === 0) {
        // While inspecting, a click on a link reports and does not follow it.
        await page.click('#away');
        const line = await run.nextLine(5000);
        check(line !== null && page.url() === url, 'a link clicked in Inspect mode is reported, not followed');
        // The toggle in the corner turns Inspect off; clicks are the page's again.
        await page.evaluate(() => document.querySelector('loomwright-inspect').shadowRoot.querySelector('button').click());
        check(!(await page.evaluate(() => window.__loomwright.inspecting)), 'the toggle turns Inspect off');
        await page.evaluate(() => document.getElementById('away').addEventListener('click', (e) => {
            window.__clicked = true;
            e.preventDefault();
        }));
        await page.click('#away');
        check(await page.evaluate(() => window.__clicked === true) && (await run.nextLine(500)) === null,
            'with Inspect off a click reaches the page and nothing is reported');
    }
    await page.close();
    await stopPreview(run);
}

const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'lw-inspect-'));
const browser = await launchChromium(tmp);
try {
    for (let i = 0; i < cases.length; i++)
        await runCase(browser, tmp, cases[i], i);
} finally {
    await browser.close();
    fs.rmSync(tmp, { recursive: true, force: true });
}
console.log(`${failures ? 'FAILED' : 'passed'}: ${cases.length} cases`);
process.exit(failures ? 1 : 0);
