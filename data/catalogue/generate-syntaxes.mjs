// Writes the value syntaxes the declaration check matches against, from the npm
// package mdn-data (CC0-1.0):
//
//   node generate-syntaxes.mjs <node_modules folder> <output folder>
//
// property-syntaxes.csv (Property,Syntax): every property mdn-data lists, the names
// without a vendor prefix first, then the prefixed ones, each part sorted by name.
// named-syntaxes.csv (Name,Syntax): the named syntaxes (`<position>`, `<rgb()>`) that
// those properties reach, directly or through one another, sorted by name.
// Line breaks and runs of blanks inside a syntax become one space.

import fs from 'node:fs';
import path from 'node:path';

const modules = path.resolve(process.argv[2] ?? 'node_modules');
const output = path.resolve(process.argv[3] ?? '.');
const load = (name) => JSON.parse(fs.readFileSync(path.join(modules, 'mdn-data', 'css', name), 'utf8'));
const properties = load('properties.json');
const syntaxes = load('syntaxes.json');

const clean = (syntax) => syntax.replace(/\s+/g, ' ').trim();
const quote = (text) => (/[",\n]/.test(text) ? `"${text.replaceAll('"', '""')}"` : text);

const names = Object.keys(properties).sort();
const ordered = [...names.filter((n) => !n.startsWith('-')), ...names.filter((n) => n.startsWith('-'))];

// Named syntaxes reached from the properties: <name> and <name()> references.
const reached = new Set();
const pending = ordered.map((n) => properties[n].syntax);
while (pending.length > 0) {
  const syntax = pending.pop();
  for (const m of syntax.matchAll(/<([a-zA-Z0-9-]+(?:\(\))?)(?:\s*\[[^\]]*\])?>/g)) {
    const name = m[1];
    if (reached.has(name) || !syntaxes[name]) continue;
    reached.add(name);
    pending.push(syntaxes[name].syntax);
  }
}

const write = (file, header, rows) => {
  const lines = [header, ...rows.map(([a, b]) => `${quote(a)},${quote(b)}`)];
  fs.writeFileSync(path.join(output, file), lines.join('\n') + '\n');
};
write('property-syntaxes.csv', 'Property,Syntax', ordered.map((n) => [n, clean(properties[n].syntax)]));
write('named-syntaxes.csv', 'Name,Syntax', [...reached].sort().map((n) => [n, clean(syntaxes[n].syntax)]));
