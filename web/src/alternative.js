// A picture's text alternative, for whoever cannot see it: a sentence that
// says what it shows and, folded under it, its numbers as a table a screen
// reader reads cell by cell (a <details> element after the picture).
let made = 0;

// A box whose content is wider than it (a table on a narrow screen) scrolls
// sideways: then it takes the keyboard's focus, so that the arrows scroll
// it; otherwise it is no stop of the Tab key.
export function focusableWhileScrolling(box) {
  const check = () => {
    const scrolls = box.scrollWidth > box.clientWidth + 1;
    if (scrolls) box.tabIndex = 0;
    else box.removeAttribute('tabindex');
  };
  new ResizeObserver(check).observe(box);
  new MutationObserver(check).observe(box, { childList: true, subtree: true });
  check();
}

// How a number reads in a text alternative: four significant digits.
export function readable(v) {
  if (v === null || v === undefined || !Number.isFinite(v)) return '—';
  const a = Math.abs(v);
  return a !== 0 && (a < 1e-3 || a >= 1e5) ? v.toExponential(3) : String(Number(v.toPrecision(4)));
}

// At most `most` of the indices 0..n-1, evenly spread, the first and last kept.
export function spread(n, most) {
  if (n <= most) return [...Array(n).keys()];
  const picks = new Set();
  for (let i = 0; i < most; i++) picks.add(Math.round((i * (n - 1)) / (most - 1)));
  return [...picks];
}

export class TextAlternative {
  // The alternative of `picture` (an element), placed after `after`; its
  // sentence's id is `${picture.id}-words`.
  constructor(picture, after, what) {
    const id = picture.id || `alternative-${++made}`;
    this.details = document.createElement('details');
    this.details.className = 'alternative';
    const summary = document.createElement('summary');
    summary.textContent = `The numbers of ${what}`;
    this.sentence = document.createElement('p');
    this.sentence.id = `${id}-words`;
    this.table = document.createElement('table');
    this.caption = this.table.createCaption();
    this.caption.textContent = `The numbers of ${what}`;
    this.table.createTHead();
    this.table.createTBody();
    const box = document.createElement('div');
    box.className = 'table-box';
    box.append(this.table);
    this.details.append(summary, this.sentence, box);
    after.after(this.details);
    picture.setAttribute('aria-describedby', this.sentence.id);
    this.box = box;
    focusableWhileScrolling(box);
  }

  // sentence: text; headings: [text]; rows: [[cell text]].
  show(sentence, headings, rows) {
    this.details.hidden = false;
    this.sentence.textContent = sentence;
    const tr = document.createElement('tr');
    for (const h of headings) {
      const th = document.createElement('th');
      th.scope = 'col';
      th.textContent = h;
      tr.append(th);
    }
    this.table.tHead.replaceChildren(tr);
    this.table.tBodies[0].replaceChildren(
      ...rows.map((cells) => {
        const row = document.createElement('tr');
        for (const c of cells) {
          const td = document.createElement('td');
          td.textContent = c;
          row.append(td);
        }
        return row;
      }),
    );
  }

  clear() {
    this.details.hidden = true;
    this.sentence.textContent = '';
    this.table.tHead.replaceChildren();
    this.table.tBodies[0].replaceChildren();
  }
}
