#!/usr/bin/env node
// postcss-declarations.mjs FILE
//
// Reads FILE with postcss, as an independent reader, and prints each declaration it
// finds, one per line, with the chain of rules and at-rules around it:
//
//     @media (max-width: 600px) > .card > padding: 8px
//
// A sheet postcss cannot read exits 2 with its message; wrong arguments or missing
// judges exit 3, a fault in this script 4.

import { loadJudge, readStyleSheet, EXIT_SETUP } from './load-judges.mjs';

const files = process.argv.slice(2);
if (files.length !== 1 || files[0].startsWith('--')) {
    process.stderr.write('usage: postcss-declarations.mjs FILE\n');
    process.exit(EXIT_SETUP);
}
const postcss = loadJudge('postcss');
let root;
try {
    root = postcss.parse(readStyleSheet(files[0]), { from: files[0] });
} catch (e) {
    process.stderr.write(`${e.message}\n`);
    process.exit(2);
}
const lines = [];
root.walkDecls((decl) => {
    const chain = [];
    for (let node = decl.parent; node && node.type !== 'root'; node = node.parent)
        chain.unshift(node.type === 'atrule' ? `@${node.name} ${node.params}`.trim() : node.selector);
    chain.push(`${decl.prop}: ${decl.value}${decl.important ? ' !important' : ''}`);
    lines.push(chain.join(' > '));
});
process.stdout.write(lines.map((l) => `${l}\n`).join(''));
