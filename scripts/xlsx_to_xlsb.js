// Writes a workbook again as a binary workbook (.xlsb) with SheetJS (the npm package `xlsx`),
// cells, number formats and shared strings kept: how the benchmark's .xlsb is made from the
// .xlsx of the same table.
//
// Usage: NODE_PATH=DIR/node_modules node scripts/xlsx_to_xlsb.js INPUT OUTPUT.xlsb

'use strict';

if (['-h', '--help'].includes(process.argv[2])) {
  const text = require('fs').readFileSync(__filename, 'utf8').split('\n');
  console.log(text.slice(0, text.findIndex((line) => !line.startsWith('//')))
                  .map((line) => line.replace(/^\/\/ ?/, '')).join('\n'));
  process.exit(0);
}
const XLSX = require('xlsx');
const [input, output] = process.argv.slice(2);
if (!input || !output) {
  console.error('usage: xlsx_to_xlsb.js INPUT OUTPUT.xlsb');
  process.exit(2);
}
const book = XLSX.readFile(input, {cellNF: true, cellDates: false});
XLSX.writeFile(book, output, {bookType: 'xlsb', bookSST: true});
