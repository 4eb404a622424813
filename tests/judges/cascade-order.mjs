// cascade-order.mjs BEFORE AFTER
// Reads both style sheets with postcss and, for every property, lists the rules that
// declare it in document order (each rule by its selector and the at-rules around it).
// Exit 0 when, for every property, the rules that declared it before still declare it
// in the same order after (declarations may have been added, none moved ahead of or
// behind another of its property, no rule merged or moved). Exit 1 with the first
// difference per property otherwise.
import { loadJudge, readStyleSheet } from './load-judges.mjs';

const postcss = loadJudge('postcss');
const [before, after] = process.argv.slice(2, 4);
if (!before || !after) {
    process.stderr.write('usage: cascade-order.mjs BEFORE AFTER\n');
    process.exit(3);
}

function orders(file) {
    const root = postcss.parse(readStyleSheet(file), { from: file });
    const byProperty = new Map();
    root.walkDecls((decl) => {
        const where = [];
        for (let node = decl.parent; node && node.type !== 'root'; node = node.parent)
            where.unshift(node.type === 'rule' ? node.selector.replace(/\s+/g, ' ') : `@${node.name} ${node.params}`);
        const property = decl.prop.toLowerCase();
        if (!byProperty.has(property))
            byProperty.set(property, []);
        byProperty.get(property).push(where.join(' > '));
    });
    return byProperty;
}

const a = orders(before);
const b = orders(after);
let differences = 0;
for (const [property, list] of a) {
    // The declarations that were there stand in the same order among those of the
    // saved sheet (an edit may add declarations anywhere, never move one).
    const other = b.get(property) ?? [];
    let j = 0;
    let at = -1;
    for (let i = 0; i < list.length; i++) {
        while (j < other.length && other[j] !== list[i])
            j++;
        if (j === other.length) {
            at = i;
            break;
        }
        j++;
    }
    if (at >= 0) {
        differences++;
        console.log(`${property}: declaration ${at + 1} in "${list[at]}" is missing or out of order`);
    }
}
let total = 0;
for (const list of a.values())
    total += list.length;
console.log(`${a.size} properties, ${total} declarations, ${differences} in another order`);
process.exit(differences ? 1 : 0);
