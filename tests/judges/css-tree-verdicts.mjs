#!/usr/bin/env node
// css-tree-verdicts.mjs [--invalid-only] FILE
//
// Asks css-tree, as an independent judge, whether a browser would accept the value
// of each declaration in FILE (in every context: inside @media, @supports, nested
// rules...). Prints one line per declaration, tab-separated:
//
//     LINE  COLUMN  PROPERTY  VERDICT  REASON
//
// LINE and COLUMN (1-based) are where the declaration starts. VERDICT is `ok` or
// `invalid` (REASON: css-tree's message on one line), or `skip` where css-tree
// cannot decide: custom properties (`--*`) and values holding var(), env() or
// attr(). A declaration directly inside an at-rule that has its own descriptors
// (`@font-face`, `@page`, ...) is matched as that at-rule's descriptor, since
// `src` or `unicode-range` are no properties (in `@page` a property that is no
// descriptor is matched as a property, as a page box takes them). --invalid-only prints only the
// `invalid` lines. A summary goes to stderr: `N declarations, K invalid, S skipped`.
// Exit 0 when done (whatever the verdicts), 3 on wrong arguments or when the
// judges are not installed, 4 on a fault in this script.

import { loadJudge, readStyleSheet, EXIT_SETUP } from './load-judges.mjs';

const args = process.argv.slice(2);
const invalidOnly = args.includes('--invalid-only');
const files = args.filter((a) => a !== '--invalid-only');
if (files.length !== 1 || files[0].startsWith('--')) {
    process.stderr.write('usage: css-tree-verdicts.mjs [--invalid-only] FILE\n');
    process.exit(EXIT_SETUP);
}

const csstree = loadJudge('css-tree');
const text = readStyleSheet(files[0]);
const ast = csstree.parse(text, { positions: true, parseValue: true, filename: files[0] });

const UNDECIDABLE = new Set(['var', 'env', 'attr']);
function holdsUndecidable(value) {
    if (value.type === 'Raw') return /\b(var|env|attr)\s*\(/i.test(value.value);
    let found = false;
    csstree.walk(value, (node) => {
        if (node.type === 'Function' && UNDECIDABLE.has(node.name.toLowerCase())) found = true;
    });
    return found;
}

function oneLine(message) {
    return message
        .split('\n')
        .map((l) => l.trim())
        .filter((l) => l && !/^-*\^$/.test(l))
        .join('; ')
        .replace(/\t/g, ' ');
}

let total = 0;
let invalid = 0;
let skipped = 0;
const out = [];

csstree.walk(ast, {
    visit: 'Declaration',
    enter(node) {
        total++;
        const { line, column } = node.loc.start;
        let verdict = 'ok';
        let reason = '';
        if (node.property.startsWith('--') || holdsUndecidable(node.value)) {
            verdict = 'skip';
            reason = node.property.startsWith('--') ? 'custom property' : 'var(), env() or attr()';
            skipped++;
        } else {
            // `this.atrule` is the nearest at-rule; a declaration stands directly in
            // it when no rule lies between (`this.rule` is null or outside it).
            const atrule = this.atrule;
            const direct = atrule && atrule.block && (!this.rule || !isInside(this.rule, atrule));
            const descriptor = direct && csstree.lexer.getAtrule(atrule.name)?.descriptors;
            let result = descriptor
                ? csstree.lexer.matchAtruleDescriptor(atrule.name, node.property, node.value)
                : csstree.lexer.matchProperty(node.property, node.value);
            // A page's box takes properties (margin, ...) beside its own descriptors.
            if (descriptor && result.error && atrule.name.toLowerCase() === 'page' && !descriptorKnown(atrule.name, node.property))
                result = csstree.lexer.matchProperty(node.property, node.value);
            if (result.error) {
                verdict = 'invalid';
                reason = oneLine(result.error.message);
                invalid++;
            }
        }
        if (!invalidOnly || verdict === 'invalid') out.push(`${line}\t${column}\t${node.property}\t${verdict}\t${reason}`);
    },
});

function descriptorKnown(atrule, property) {
    const descriptors = csstree.lexer.getAtrule(atrule)?.descriptors ?? {};
    return Object.hasOwn(descriptors, property.toLowerCase());
}

function isInside(rule, atrule) {
    return rule.loc.start.offset > atrule.loc.start.offset && rule.loc.end.offset <= atrule.loc.end.offset;
}

process.stdout.write(out.length ? `${out.join('\n')}\n` : '');
process.stderr.write(`${total} declarations, ${invalid} invalid, ${skipped} skipped\n`);
