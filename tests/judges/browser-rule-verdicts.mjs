#!/usr/bin/env node
// browser-rule-verdicts.mjs FILE...
//
// Asks a real browser, headless Chromium, whether it keeps each rule's selectors, each
// at-rule and each descriptor of @font-face of the given style sheets: postcss finds them, and one generated page
// asks the browser in one run. Prints one line per rule or at-rule, tab-separated:
//
//     FILE  LINE  COLUMN  WHAT  VERDICT  LEFT-OUT  EXPECTED
//
// WHAT is `selector` for a rule, `descriptor` for a declaration of @font-face, or the
// at-rule's name with its "@". VERDICT is `keep`
// or `drop`, or `none` when the browser is not asked (@charset, which the object model
// never keeps). How each is asked:
//   selector   CSS.supports('selector(...)') for each selector of a list, and the object
//              model for the whole rule (a constructed sheet; inside a parent rule for a
//              nested one): dropped when the sheet does not keep it;
//   @media     matchMedia per query: dropped when a query the author did not write as
//              "not all" comes back as "not all", or when neither it nor its negation
//              matches (an unknown feature or value): that query never applies;
//   @import, @namespace  a <style> element holding the top-level rules before it and
//              the statement itself: dropped when its last rule is not that statement
//              (ignored after rules), or when the import's media come back "not all";
//   descriptor a declaration of @font-face: the object model of an @font-face holding
//              it alone (its style keeps it or not);
//   keyframe   the object model of an @keyframes holding it;
//   any other at-rule  a constructed sheet holding it (blocks of @supports, @container,
//              @layer... emptied): dropped when the sheet keeps no rule.
// LEFT-OUT is empty, or why a dropped one need not be reported by a checker: `vendor`
// for a vendor at-rule or a selector with a vendor pseudo-class or pseudo-element, which
// the browsers of one maker keep. EXPECTED is what a comment on the same line says,
// `/* keep */` or `/* drop */`, as in browser-verdicts.mjs.
//
// The browser is $CHROMIUM (default: chromium). Exit 0 when done, 3 on wrong arguments
// or when the browser or the judges are missing, 4 on a fault.

import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { loadJudge, readStyleSheet, EXIT_SETUP } from './load-judges.mjs';

const files = process.argv.slice(2);
if (files.length === 0 || files.some((f) => f.startsWith('--'))) {
    process.stderr.write('usage: browser-rule-verdicts.mjs FILE...\n');
    process.exit(EXIT_SETUP);
}
const postcss = loadJudge('postcss');
const chromium = process.env.CHROMIUM || 'chromium';
const VENDOR_PSEUDO = /::?-(webkit|moz|ms|o|khtml)-/i;
const EMPTIED = new Set(['media', 'supports', 'container', 'layer', 'scope', 'starting-style', 'document']);

function expectation(node) {
    // The comment right after the node's start on its line: inside its block (first
    // child) or after it.
    const candidates = [node.first, node.next()];
    for (const next of candidates) {
        if (next && next.type === 'comment' && next.source.start.line === node.source.start.line) {
            const m = /^(keep|drop)\b/.exec(next.text);
            if (m) return m[1];
        }
    }
    return '';
}

const inKeyframes = (node) => {
    for (let p = node.parent; p; p = p.parent)
        if (p.type === 'atrule' && /keyframes$/i.test(p.name)) return true;
    return false;
};
const nested = (node) => {
    for (let p = node.parent; p; p = p.parent) if (p.type === 'rule') return true;
    return false;
};

// The selectors of a list, split at top-level commas.
function splitList(text) {
    const parts = [];
    let depth = 0;
    let quote = '';
    let start = 0;
    for (let i = 0; i < text.length; ++i) {
        const c = text[i];
        if (quote) {
            if (c === '\\') ++i;
            else if (c === quote) quote = '';
        } else if (c === '"' || c === "'") quote = c;
        else if (c === '\\') ++i;
        else if (c === '(' || c === '[') ++depth;
        else if (c === ')' || c === ']') --depth;
        else if (c === ',' && depth === 0) {
            parts.push(text.slice(start, i));
            start = i + 1;
        }
    }
    parts.push(text.slice(start));
    return parts.map((p) => p.trim());
}

// A node's text as it stands alone: a statement with its ";" (postcss keeps that with
// the parent).
const statementText = (n) => (n.type === 'atrule' && n.nodes === undefined ? `${n.toString()};` : n.toString());

const rows = [];
const questions = [];
const ask = (q) => {
    questions.push(q);
    return questions.length - 1;
};

for (const file of files) {
    const root = postcss.parse(readStyleSheet(file), { from: file });
    const top = root.nodes;
    root.walk((node) => {
        if (node.type === 'decl' && node.parent.type === 'atrule' && node.parent.name.toLowerCase() === 'font-face' &&
            !node.prop.startsWith('-')) {
            rows.push({
                file: path.basename(file),
                line: node.source.start.line,
                column: node.source.start.column,
                what: 'descriptor',
                leftOut: '',
                expected: expectation(node),
                questions: [ask({ kind: 'descriptor', text: `@font-face { ${node.toString()} }` })],
            });
            return;
        }
        if (node.type !== 'rule' && node.type !== 'atrule') return;
        const row = {
            file: path.basename(file),
            line: node.source.start.line,
            column: node.source.start.column,
            what: node.type === 'rule' ? 'selector' : `@${node.name.toLowerCase()}`,
            leftOut: '',
            expected: expectation(node),
            questions: [],
        };
        rows.push(row);
        if (node.type === 'rule') {
            if (inKeyframes(node)) {
                row.questions.push(ask({ kind: 'keyframe', text: node.selector }));
                return;
            }
            const selector = node.selector;
            if (VENDOR_PSEUDO.test(selector)) row.leftOut = 'vendor';
            if (nested(node)) {
                row.questions.push(ask({ kind: 'nested', text: selector }));
            } else {
                row.questions.push(ask({ kind: 'sheet', text: `${selector} {}` }));
                for (const one of splitList(selector)) row.questions.push(ask({ kind: 'selector', text: one, info: true }));
            }
            return;
        }
        const name = node.name.toLowerCase();
        if (name.startsWith('-')) row.leftOut = 'vendor';
        if (name === 'charset') return;
        if (name === 'media') {
            row.questions.push(ask({ kind: 'media', text: node.params }));
        } else if ((name === 'import' || name === 'namespace') && node.parent === root) {
            const before = top.slice(0, top.indexOf(node)).filter((n) => n.type !== 'comment');
            // What stands before decides; a few hundred rules tell as much as all of them.
            const text = [...before.slice(0, 200), node].map(statementText).join('\n');
            row.questions.push(ask({ kind: 'statement', text, name }));
        } else if (node.parent !== root && node.parent.type !== 'root' && (name === 'import' || name === 'namespace')) {
            row.questions.push(ask({ kind: 'statement', text: `.x{} ${statementText(node)}`, name }));
        } else {
            const text = node.nodes === undefined ? `@${node.name} ${node.params};`
                : EMPTIED.has(name) ? `@${node.name} ${node.params} {}` : node.toString();
            row.questions.push(ask({ kind: nested(node) ? 'nested-at' : 'sheet', text }));
        }
    });
}

const answers = questions.length ? askBrowser(questions) : [];
const out = [];
let informational = 0;
for (const row of rows) {
    const asked = row.questions.filter((q) => !questions[q].info);
    let verdict = 'none';
    if (asked.length) verdict = asked.every((q) => answers[q] === '1') ? 'keep' : 'drop';
    // CSS.supports('selector()') beside the object model: one selector it refuses in a
    // list the sheet keeps is worth a look, but the object model decides.
    for (const q of row.questions) if (questions[q].info && answers[q] === '0' && verdict === 'keep') informational++;
    out.push([row.file, row.line, row.column, row.what, verdict, row.leftOut, row.expected].join('\t'));
}
process.stdout.write(out.length ? `${out.join('\n')}\n` : '');
process.stderr.write(`${rows.length} rules and at-rules, ${questions.length} questions asked; ` +
    `${informational} kept rules hold a selector CSS.supports refuses\n`);

function askBrowser(qs) {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'browser-rule-verdicts-'));
    try {
        const data = JSON.stringify(qs).replace(/</g, '\\u003c');
        const page = path.join(dir, 'page.html');
        fs.writeFileSync(
            page,
            `<!DOCTYPE html><html><head><meta charset="utf-8"></head><body>
<script id="questions" type="application/json">${data}</script>
<script>
const questions = JSON.parse(document.getElementById('questions').textContent);
function keeps(q) {
    try {
        if (q.kind === 'selector') return CSS.supports('selector(' + q.text + ')');
        if (q.kind === 'media') {
            // Each query: read as "not all", or neither it nor its negation ever
            // matches (an unknown feature or value: "unknown" in the browser's logic).
            if (q.text.trim() === '') return true;
            const written = q.text.split(',').map((s) => s.trim());
            const read = matchMedia(q.text).media.split(', ');
            if (read.length !== written.length) return false;
            return written.every((w, i) => {
                if (w.toLowerCase() === 'not all') return true;
                if (read[i] === 'not all') return false;
                const lower = w.toLowerCase();
                const negation = lower.startsWith('not ') ? w.slice(4)
                    : lower.startsWith('only ') ? 'not ' + w.slice(5)
                    : w.startsWith('(') ? 'not (' + w + ')' : 'not ' + w;
                return matchMedia(w).matches || matchMedia(negation).matches;
            });
        }
        if (q.kind === 'statement') {
            const style = document.createElement('style');
            style.textContent = q.text;
            document.head.appendChild(style);
            const rules = style.sheet.cssRules;
            const last = rules[rules.length - 1];
            style.remove();
            const type = q.name === 'import' ? CSSImportRule : CSSNamespaceRule;
            if (!(last instanceof type)) return false;
            return !(last instanceof CSSImportRule) || last.media.mediaText.split(', ').every((m) => m !== 'not all');
        }
        const sheet = new CSSStyleSheet();
        if (q.kind === 'nested') {
            sheet.replaceSync('.judge-parent { ' + q.text + ' {} }');
            return sheet.cssRules.length === 1 && sheet.cssRules[0].cssRules.length === 1;
        }
        if (q.kind === 'descriptor') {
            sheet.replaceSync(q.text);
            return sheet.cssRules.length === 1 && sheet.cssRules[0].style.length > 0;
        }
        if (q.kind === 'keyframe') {
            sheet.replaceSync('@keyframes judge { ' + q.text + ' {} }');
            return sheet.cssRules.length === 1 && sheet.cssRules[0].cssRules.length === 1;
        }
        if (q.kind === 'nested-at') {
            sheet.replaceSync('.judge-parent { ' + q.text + ' }');
            return sheet.cssRules.length === 1 && sheet.cssRules[0].cssRules.length === 1;
        }
        sheet.replaceSync(q.text);
        return sheet.cssRules.length >= 1;
    } catch (e) {
        return false;
    }
}
document.body.textContent = 'ANSWERS[' + questions.map((q) => (keeps(q) ? '1' : '0')).join('') + ']';
</script></body></html>\n`,
        );
        const result = spawnSync(
            chromium,
            ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
             '--disable-component-update', '--disable-sync', '--no-first-run',
             `--user-data-dir=${path.join(dir, 'profile')}`, '--allow-file-access-from-files', '--dump-dom', `file://${page}`],
            { encoding: 'utf8', maxBuffer: 256 << 20, timeout: 240000 },
        );
        if (result.error) {
            process.stderr.write(`${chromium} could not be run: ${result.error.message}\n`);
            process.exit(result.error.code === 'ENOENT' ? EXIT_SETUP : 4);
        }
        const m = /ANSWERS\[([01]*)\]/.exec(result.stdout ?? '');
        if (!m || m[1].length !== qs.length) {
            process.stderr.write(`${chromium} gave ${m ? m[1].length : 'no'} answers to ${qs.length} questions (exit ${result.status})\n`);
            process.stderr.write((result.stderr ?? '').split('\n').slice(-5).join('\n') + '\n');
            process.exit(4);
        }
        return m[1];
    } finally {
        fs.rmSync(dir, { recursive: true, force: true });
    }
}
