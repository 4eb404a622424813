#!/usr/bin/env node
// same-css.mjs ORIGINAL SAVED
//
// Decides, with postcss as an independent reader, whether the style sheet SAVED
// says the same as ORIGINAL. Exit 0: the same. Exit 1: they differ; the differences
// are listed (at most 30, then a count). Exit 2: postcss cannot read one of the files
// (its message with file, line and column; `name=value` declarations, for instance,
// give "Unknown word"). Exit 3: wrong arguments or the judges are not installed.
// Exit 4: a fault in this script.
//
// "The same" means:
// - Declarations, per context, in order. The context of a declaration is the chain
//   of its enclosing at-rules (`@name params`) and rules (selector) from the top.
//   For each context the ordered lists of (property, value, !important) must be
//   equal. Rules and at-rules with the same context concatenate their lists in file
//   order, so two `@font-face` blocks give one list of both.
// - Statements (at-rules without a block: @charset, @import, @namespace,
//   `@layer a, b;`), as one ordered list of `@name params` (a statement inside a
//   block carries its context in front).
// - Comments, as a multiset of their texts (`/* ... */`) found by postcss's own
//   tokenizer, so comment marks inside strings do not count. Their order and place
//   are not compared: the editor may move a comment with the rule it belongs to.
// - Rules without declarations and empty at-rule blocks say nothing and are ignored.
//
// Only what the editor is allowed to change is normalised:
// - CR LF, a lone CR and a form feed are line breaks like LF (the text is read as
//   UTF-8 when valid, else Latin-1, as the editor reads it).
// - In selectors, at-rule params and values, every run of whitespace outside
//   strings becomes one space and the text is trimmed.
// - A selector that is one type selector, optionally with one pseudo-class (`body`,
//   `BODY`, `a:hover`, `A:Hover`), is compared without case: the editor merges such
//   rules into its fixed nodes and writes the catalogue's spelling.
// - Values are compared as postcss gives them (`decl.value`: comments inside a value
//   are not part of it). A hack prefix (`*zoom`, `_height`), which postcss keeps
//   apart from the property, is compared as part of the property.

import { loadJudge, readStyleSheet, EXIT_SETUP } from './load-judges.mjs';

const MAX_LINES = 30;

const args = process.argv.slice(2);
if (args.length !== 2) {
    process.stderr.write('usage: same-css.mjs ORIGINAL SAVED\n');
    process.exit(EXIT_SETUP);
}
const [originalFile, savedFile] = args;

const postcss = loadJudge('postcss');
const tokenizer = loadJudge('postcss/lib/tokenize');
const Input = loadJudge('postcss/lib/input');

// Every run of whitespace outside strings becomes one space; the text is trimmed.
// A backslash escape (outside or inside a string) is kept as it is.
function squeeze(text) {
    let out = '';
    let pendingSpace = false;
    for (let i = 0; i < text.length; ) {
        const c = text[i];
        if (c === ' ' || c === '\t' || c === '\n') {
            pendingSpace = true;
            i++;
            continue;
        }
        if (pendingSpace && out.length > 0) out += ' ';
        pendingSpace = false;
        if (c === '\\') {
            out += text.slice(i, i + 2);
            i += 2;
        } else if (c === '"' || c === "'") {
            let j = i + 1;
            while (j < text.length && text[j] !== c && text[j] !== '\n') j += text[j] === '\\' ? 2 : 1;
            out += text.slice(i, j + 1);
            i = j + 1;
        } else {
            out += c;
            i++;
        }
    }
    return out;
}

const SIMPLE_SELECTOR = /^[a-z][a-z0-9-]*(:[a-z][a-z0-9-]*)?$/i;

function selectorKey(selector) {
    const s = squeeze(selector);
    return SIMPLE_SELECTOR.test(s) ? s.toLowerCase() : s;
}

function atRuleKey(node) {
    const params = squeeze(node.params);
    return params ? `@${node.name} ${params}` : `@${node.name}`;
}

function parse(file) {
    const text = readStyleSheet(file).replace(/\r\n?|\f/g, '\n');
    try {
        return { root: postcss.parse(text, { from: file }), text };
    } catch (e) {
        if (e.name !== 'CssSyntaxError') throw e;
        process.stdout.write(`${e.file ?? file}:${e.line}:${e.column}: ${e.reason}\n`);
        const excerpt = e.showSourceCode(false);
        if (excerpt) process.stdout.write(`${excerpt}\n`);
        process.exit(2);
    }
}

// What a style sheet says: declarations per context (a Map in order of first
// appearance), statements in order, comment texts with how often each occurs.
function meaning(file) {
    const { root, text } = parse(file);
    const contexts = new Map();
    const statements = [];
    const comments = new Map();

    const walk = (container, chain) => {
        for (const node of container.nodes ?? []) {
            const line = node.source?.start?.line ?? 0;
            if (node.type === 'decl') {
                const before = node.raws.before ?? '';
                const hack = before.endsWith('*') || before.endsWith('_') ? before.slice(-1) : '';
                const key = `${hack}${node.prop}: ${squeeze(node.value)}${node.important ? ' !important' : ''}`;
                const context = chain.join(' { ');
                if (!contexts.has(context)) contexts.set(context, []);
                contexts.get(context).push({ key, line });
            } else if (node.type === 'rule') {
                walk(node, [...chain, selectorKey(node.selector)]);
            } else if (node.type === 'atrule') {
                if (node.nodes === undefined) {
                    statements.push({ key: [...chain, atRuleKey(node)].join(' { '), line });
                } else {
                    walk(node, [...chain, atRuleKey(node)]);
                }
            }
        }
    };
    walk(root, []);

    const input = new Input(text, { from: file });
    const tokens = tokenizer(input);
    while (!tokens.endOfFile()) {
        const token = tokens.nextToken();
        if (token[0] !== 'comment') continue;
        const entry = comments.get(token[1]) ?? { count: 0, line: input.fromOffset(token[2])?.line ?? 0 };
        entry.count++;
        comments.set(token[1], entry);
    }
    return { contexts, statements, comments };
}

// The edit from list a to list b: items only in a ('-') and only in b ('+'),
// by a longest common subsequence of their keys. Lists too long for that beyond
// their common start and end are reported from the first difference on.
function diff(a, b) {
    let start = 0;
    while (start < a.length && start < b.length && a[start].key === b[start].key) start++;
    let endA = a.length;
    let endB = b.length;
    while (endA > start && endB > start && a[endA - 1].key === b[endB - 1].key) {
        endA--;
        endB--;
    }
    const x = a.slice(start, endA);
    const y = b.slice(start, endB);
    if (x.length === 0 && y.length === 0) return [];
    if (x.length * y.length > 4e6) {
        return [
            ...x.map((item) => ({ sign: '-', item })),
            ...y.map((item) => ({ sign: '+', item })),
        ];
    }
    const n = x.length;
    const m = y.length;
    const lcs = Array.from({ length: n + 1 }, () => new Uint32Array(m + 1));
    for (let i = n - 1; i >= 0; i--)
        for (let j = m - 1; j >= 0; j--)
            lcs[i][j] = x[i].key === y[j].key ? lcs[i + 1][j + 1] + 1 : Math.max(lcs[i + 1][j], lcs[i][j + 1]);
    const ops = [];
    let i = 0;
    let j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && x[i].key === y[j].key) {
            i++;
            j++;
        } else if (j >= m || (i < n && lcs[i + 1][j] >= lcs[i][j + 1])) {
            ops.push({ sign: '-', item: x[i++] });
        } else {
            ops.push({ sign: '+', item: y[j++] });
        }
    }
    return ops;
}

const original = meaning(originalFile);
const saved = meaning(savedFile);

// Groups of difference lines, each under a heading.
const groups = [];
const where = (sign, item) => `(${sign === '-' ? 'ORIGINAL' : 'SAVED'} line ${item.line})`;

function addListDiff(heading, a, b) {
    const ops = diff(a, b);
    if (ops.length === 0) return;
    const removed = new Set(ops.filter((o) => o.sign === '-').map((o) => o.item.key));
    const added = new Set(ops.filter((o) => o.sign === '+').map((o) => o.item.key));
    groups.push({
        heading,
        lines: ops.map(({ sign, item }) => {
            const moved = (sign === '-' ? added : removed).has(item.key) ? ', moved' : '';
            return `${sign} ${item.key}  ${where(sign, item)}${moved}`;
        }),
    });
}

const contextNames = new Set([...original.contexts.keys(), ...saved.contexts.keys()]);
for (const context of contextNames) {
    addListDiff(
        `declarations in ${context === '' ? '(top level)' : context}`,
        original.contexts.get(context) ?? [],
        saved.contexts.get(context) ?? [],
    );
}
addListDiff('statements', original.statements, saved.statements);

const commentLines = [];
const shorten = (t) => JSON.stringify(t.length > 70 ? `${t.slice(0, 67)}...` : t);
for (const [textOf, o] of original.comments) {
    const s = saved.comments.get(textOf)?.count ?? 0;
    if (s < o.count) commentLines.push(`- ${shorten(textOf)} x${o.count - s}  (ORIGINAL line ${o.line})`);
}
for (const [textOf, s] of saved.comments) {
    const o = original.comments.get(textOf)?.count ?? 0;
    if (o < s.count) commentLines.push(`+ ${shorten(textOf)} x${s.count - o}  (SAVED line ${s.line})`);
}
if (commentLines.length) groups.push({ heading: 'comments', lines: commentLines });

if (groups.length === 0) process.exit(0);

const total = groups.reduce((sum, g) => sum + g.lines.length, 0);
const out = [`${savedFile} does not say the same as ${originalFile} ('-' only in ORIGINAL, '+' only in SAVED):`];
let shown = 0;
for (const g of groups) {
    if (shown >= MAX_LINES) break;
    out.push(`  ${g.heading}`);
    for (const line of g.lines) {
        if (shown >= MAX_LINES) break;
        out.push(`    ${line}`);
        shown++;
    }
}
if (shown < total) out.push(`  ... and ${total - shown} more`);
out.push(`${total} difference(s)`);
process.stdout.write(`${out.join('\n')}\n`);
process.exit(1);
