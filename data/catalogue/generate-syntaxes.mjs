// Writes the value syntaxes the declaration check matches against, from the npm
// package mdn-data (CC0-1.0), with the hand-kept corrections of syntax-overrides.csv
// beside this script:
//
//   node generate-syntaxes.mjs <node_modules folder> <output folder>
//
// property-syntaxes.csv (Property,Syntax): every property mdn-data lists, the names
// without a vendor prefix first, then the prefixed ones, each part sorted by name.
// named-syntaxes.csv (Name,Syntax): the named syntaxes (`<position>`, `<rgb()>`) that
// those properties reach, directly or through one another, sorted by name.
// Line breaks and runs of blanks inside a syntax become one space.
//
// syntax-overrides.csv (Name,Syntax,Reason): a property by its name, a named syntax as
// <name>; its syntax replaces the one mdn-data gives, or adds one mdn-data lacks. They
// are for browsers newer than the data: a value every current browser keeps must never
// be reported. An override that has become the same as mdn-data's is named on stderr,
// so that it can be dropped.

import fs from 'node:fs';
import path from 'node:path';

const modules = path.resolve(process.argv[2] ?? 'node_modules');
const output = path.resolve(process.argv[3] ?? '.');
const load = (name) => JSON.parse(fs.readFileSync(path.join(modules, 'mdn-data', 'css', name), 'utf8'));
const properties = load('properties.json');
const syntaxes = load('syntaxes.json');

const clean = (syntax) => syntax.replace(/\s+/g, ' ').trim();

// A CSV file's rows as arrays of fields ("" quotes, fields may hold commas and line breaks).
function readCsv(file) {
  const text = fs.readFileSync(file, 'utf8');
  const rows = [];
  let row = [];
  let field = '';
  let quoted = false;
  for (let i = 0; i < text.length; ++i) {
    const c = text[i];
    if (quoted) {
      if (c === '"' && text[i + 1] === '"') { field += '"'; ++i; }
      else if (c === '"') quoted = false;
      else field += c;
    } else if (c === '"') quoted = true;
    else if (c === ',') { row.push(field); field = ''; }
    else if (c === '\n') { row.push(field); rows.push(row); row = []; field = ''; }
    else if (c !== '\r') field += c;
  }
  if (field !== '' || row.length > 0) { row.push(field); rows.push(row); }
  return rows;
}

const overridesFile = path.join(path.dirname(new URL(import.meta.url).pathname), 'syntax-overrides.csv');
const [header, ...overrideRows] = readCsv(overridesFile);
if (header.join(',') !== 'Name,Syntax,Reason') throw new Error(`${overridesFile}: unexpected header`);
for (const [name, syntax, reason] of overrideRows) {
  if (!name || !syntax || !reason) throw new Error(`${overridesFile}: ${name || 'a row'} needs a name, a syntax and a reason`);
  const named = /^<(.+)>$/.exec(name);
  const table = named ? syntaxes : properties;
  const key = named ? named[1] : name;
  if (table[key] && clean(table[key].syntax) === clean(syntax))
    process.stderr.write(`${name}: the override is now the same as mdn-data's syntax\n`);
  table[key] = { ...table[key], syntax };
}
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

// selector-names.csv (Name,Syntax): the pseudo-classes and pseudo-elements mdn-data lists
// (":hover", ":nth-child()", "::before"), functional ones with "()", for the selector
// check; vendor ones are left out (the check accepts every vendor name).
const selectors = load('selectors.json');
const pseudoNames = Object.keys(selectors)
  .filter((n) => /^::?[a-z]/.test(n))
  .sort();
write('selector-names.csv', 'Name,Syntax', pseudoNames.map((n) => [n, clean(selectors[n].syntax)]));

// descriptor-syntaxes.csv (Descriptor,Syntax): the descriptors of the at-rules that take
// declarations, as "@font-face font-display", with their value syntaxes.
const atRules = load('at-rules.json');
const descriptorRows = [];
for (const rule of Object.keys(atRules).sort())
  for (const name of Object.keys(atRules[rule].descriptors ?? {}).sort())
    descriptorRows.push([`${rule} ${name}`, clean(atRules[rule].descriptors[name].syntax)]);
write('descriptor-syntaxes.csv', 'Descriptor,Syntax', descriptorRows);
