#!/usr/bin/env node
// browser-verdicts.mjs FILE...
//
// Asks a real browser, headless Chromium, whether it keeps each declaration of the
// given style sheets: postcss finds the declarations, and one generated page calls
// `CSS.supports(property, value)` for all of them (each distinct pair once) and writes
// its answers into its body, which `chromium --dump-dom` prints. Prints one line per
// declaration, tab-separated:
//
//     FILE  LINE  COLUMN  PROPERTY  VERDICT  LEFT-OUT  EXPECTED
//
// FILE is the file's name without its folder; LINE and COLUMN (1-based) are where the
// declaration starts. VERDICT is `keep` or `drop` (the browser's answer), or `none`
// for declarations it is not asked about: custom properties (any value is kept) and
// descriptors of at-rules such as @font-face, which are no properties.
// LEFT-OUT is empty, or why a dropped declaration need not be reported by a checker:
//   vendor    a vendor-prefixed property or value (-webkit-box, -ms-flexbox), written
//             for the browsers of one maker, which the others drop on purpose;
//   hack      a name written for old browsers of one maker only (*zoom, _height);
//   var       a value holding var(), env(), attr() or a custom function (--name()),
//             decided only where it is used;
//   guarded   it stands inside an @supports whose condition asks for this very
//             declaration, so the author already keeps it from browsers without it;
//   page      a descriptor of @page (size, marks, bleed, page-orientation).
// EXPECTED is what a comment on the declaration's own line says the browser does,
// `/* keep */` or `/* drop */` (followed by anything), or empty: the hand-made cases
// carry it so that a browser answering wrongly is seen.
//
// The browser is $CHROMIUM (default: chromium). Exit 0 when done, 3 on wrong arguments
// or when the browser or the judges are missing, 4 on a fault (the browser failed or
// gave too few answers).

import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { loadJudge, readStyleSheet, EXIT_SETUP } from './load-judges.mjs';

const files = process.argv.slice(2);
if (files.length === 0 || files.some((f) => f.startsWith('--'))) {
    process.stderr.write('usage: browser-verdicts.mjs FILE...\n');
    process.exit(EXIT_SETUP);
}
const postcss = loadJudge('postcss');
const chromium = process.env.CHROMIUM || 'chromium';

// At-rules whose blocks hold rules (or, nested in a rule, declarations of that rule).
const GROUPING = new Set(['media', 'supports', 'container', 'layer', 'scope', 'starting-style', 'document']);
const PAGE_DESCRIPTORS = new Set(['size', 'marks', 'bleed', 'page-orientation']);
const VENDOR = /(^|[^a-z0-9_-])-(webkit|moz|ms|o|khtml)-/i;
const SUBSTITUTED = /\b(var|env|attr)\s*\(|(^|[^a-z0-9_-])--[a-z0-9_-]+\(/i;

const compact = (text) => text.replace(/\s+/g, '').toLowerCase();

// Whether an enclosing @supports asks for exactly this declaration, "(property: value)",
// other than under "not".
function guarded(decl) {
    const wanted = `(${compact(decl.prop)}:${compact(decl.value)})`;
    for (let node = decl.parent; node; node = node.parent) {
        if (node.type !== 'atrule' || node.name.toLowerCase() !== 'supports') continue;
        const condition = compact(node.params);
        for (let at = condition.indexOf(wanted); at >= 0; at = condition.indexOf(wanted, at + 1)) {
            if (!condition.slice(0, at).endsWith('not')) return true;
        }
    }
    return false;
}

// The at-rule a declaration stands directly in, when that at-rule has descriptors of
// its own rather than holding a rule's declarations.
function descriptorOf(decl) {
    const parent = decl.parent;
    if (!parent || parent.type !== 'atrule') return null;
    const name = parent.name.toLowerCase().replace(/^-[a-z]+-/, '');
    if (GROUPING.has(name)) return null;
    return name;
}

// The comment that follows the declaration on its line, after its own rule's end if
// need be (".a { clip: auto; } /* keep */").
function expectation(decl) {
    let node = decl;
    while (node && !node.next() && node.parent && node.parent.type !== 'root') node = node.parent;
    const next = node?.next();
    if (!next || next.type !== 'comment' || next.source.start.line !== decl.source.end.line) return '';
    const m = /^(keep|drop)\b/.exec(next.text);
    return m ? m[1] : '';
}

const rows = [];
for (const file of files) {
    const root = postcss.parse(readStyleSheet(file), { from: file });
    root.walkDecls((decl) => {
        const property = decl.prop;
        const row = {
            file: path.basename(file),
            line: decl.source.start.line,
            column: decl.source.start.column,
            property,
            value: decl.value,
            ask: true,
            leftOut: '',
            expected: expectation(decl),
        };
        const descriptor = descriptorOf(decl);
        if (property.startsWith('--') || (descriptor && descriptor !== 'page')) row.ask = false;
        else if (descriptor === 'page' && PAGE_DESCRIPTORS.has(property.toLowerCase())) row.leftOut = 'page';
        else if (/^[*_]/.test(property)) row.leftOut = 'hack';
        else if (/^-[a-z]/i.test(property) || VENDOR.test(decl.value)) row.leftOut = 'vendor';
        else if (SUBSTITUTED.test(decl.value)) row.leftOut = 'var';
        else if (guarded(decl)) row.leftOut = 'guarded';
        rows.push(row);
    });
}

// Each distinct (property, value) pair is asked once.
const pairs = [];
const index = new Map();
for (const row of rows) {
    if (!row.ask) continue;
    const key = `${row.property}\u0000${row.value}`;
    if (!index.has(key)) {
        index.set(key, pairs.length);
        pairs.push([row.property, row.value]);
    }
    row.pair = index.get(key);
}

const answers = pairs.length ? askBrowser(pairs) : '';
const out = rows.map((row) => {
    const verdict = row.ask ? (answers[row.pair] === '1' ? 'keep' : 'drop') : 'none';
    return [row.file, row.line, row.column, row.property, verdict, row.leftOut, row.expected].join('\t');
});
process.stdout.write(out.length ? `${out.join('\n')}\n` : '');
process.stderr.write(`${rows.length} declarations, ${pairs.length} distinct pairs asked\n`);

// One page, one browser run: the answers as a string of 1 (kept) and 0 (dropped).
function askBrowser(questions) {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'browser-verdicts-'));
    try {
        // The questions as JSON inside the page; "<" escaped so no value can end the script.
        const data = JSON.stringify(questions).replace(/</g, '\\u003c');
        const page = path.join(dir, 'page.html');
        fs.writeFileSync(
            page,
            `<!DOCTYPE html><html><head><meta charset="utf-8"></head><body>
<script id="questions" type="application/json">${data}</script>
<script>
const questions = JSON.parse(document.getElementById('questions').textContent);
const answers = questions.map(([p, v]) => (CSS.supports(p, v) ? '1' : '0')).join('');
document.body.textContent = 'ANSWERS[' + answers + ']';
</script></body></html>\n`,
        );
        const result = spawnSync(
            chromium,
            [
                '--headless',
                '--no-sandbox',
                '--disable-gpu',
                '--disable-background-networking',
                '--disable-component-update',
                '--disable-sync',
                '--no-first-run',
                `--user-data-dir=${path.join(dir, 'profile')}`,
                '--dump-dom',
                `file://${page}`,
            ],
            { encoding: 'utf8', maxBuffer: 256 << 20, timeout: 240000 },
        );
        if (result.error) {
            process.stderr.write(`${chromium} could not be run: ${result.error.message}\n`);
            process.exit(result.error.code === 'ENOENT' ? EXIT_SETUP : 4);
        }
        const m = /ANSWERS\[([01]*)\]/.exec(result.stdout ?? '');
        if (!m || m[1].length !== questions.length) {
            process.stderr.write(
                `${chromium} gave ${m ? m[1].length : 'no'} answers to ${questions.length} questions (exit ${result.status})\n`,
            );
            process.stderr.write((result.stderr ?? '').split('\n').slice(-5).join('\n') + '\n');
            process.exit(4);
        }
        return m[1];
    } finally {
        fs.rmSync(dir, { recursive: true, force: true });
    }
}
