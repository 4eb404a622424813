#!/usr/bin/env node
// reflow.mjs FILE [--drop-declaration N]
//
// For the judges' own test: prints FILE as postcss writes it with all layout
// forgotten (every line break, indent and space between nodes back to postcss's
// defaults), keeping what the text says: selectors, params, values with the
// comments inside them, hack prefixes. same-css.mjs must find the result the same
// as FILE. With --drop-declaration N the N-th declaration (1-based, file order) is
// left out, which same-css.mjs must notice.

import { loadJudge, readStyleSheet, EXIT_SETUP } from './load-judges.mjs';

const args = process.argv.slice(2);
const file = args[0];
const drop = args[1] === '--drop-declaration' ? Number(args[2]) : 0;
if (!file || (args.length > 1 && !(drop > 0))) {
    process.stderr.write('usage: reflow.mjs FILE [--drop-declaration N]\n');
    process.exit(EXIT_SETUP);
}

const postcss = loadJudge('postcss');
const root = postcss.parse(readStyleSheet(file), { from: file });
let count = 0;
root.walk((node) => {
    const hack = node.type === 'decl' && /[*_]$/.test(node.raws.before ?? '') ? node.raws.before.slice(-1) : '';
    for (const layout of ['before', 'after', 'afterName', 'indent'])
        delete node.raws[layout];
    if (hack) node.raws.before = `\n${hack}`;
    if (node.type === 'decl' && ++count === drop) node.remove();
});
delete root.raws.after;
process.stdout.write(`${root.toString()}\n`);
