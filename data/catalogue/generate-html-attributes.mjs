// Writes html-attributes.csv (Element,Attribute) from the npm package
// html-element-attributes (MIT). Element names are written in upper case like the
// element catalogue; "*" stands for the global attributes that every element takes.
//
//   node generate-html-attributes.mjs <node_modules folder> > html-attributes.csv

import path from 'node:path';
import { pathToFileURL } from 'node:url';

const modules = path.resolve(process.argv[2] ?? 'node_modules');
const { htmlElementAttributes } = await import(
  pathToFileURL(path.join(modules, 'html-element-attributes', 'index.js')).href);

const lines = ['Element,Attribute'];
for (const [element, attributes] of Object.entries(htmlElementAttributes)) {
  for (const attribute of attributes) lines.push(`${element.toUpperCase()},${attribute}`);
}
process.stdout.write(lines.join('\n') + '\n');
