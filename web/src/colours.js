// The schemes' colours as the page draws them on its white ground: pbsim's
// trajectory colours are made for a black view, and some (pure green,
// orange) are too light to read on white. Pure arithmetic, testable without
// a browser.

export function cssColour(rgb, alpha = 1) {
  const c = rgb.map((v) => Math.round(v * 255));
  return alpha === 1 ? `rgb(${c[0]},${c[1]},${c[2]})` : `rgba(${c[0]},${c[1]},${c[2]},${alpha})`;
}

// The contrast of an sRGB colour (0..255 components) against white, by
// WCAG's relative luminance.
export function contrastOnWhite(rgb255) {
  const lin = (c) => {
    const v = c / 255;
    return v <= 0.03928 ? v / 12.92 : ((v + 0.055) / 1.055) ** 2.4;
  };
  const l = 0.2126 * lin(rgb255[0]) + 0.7152 * lin(rgb255[1]) + 0.0722 * lin(rgb255[2]);
  return 1.05 / (l + 0.05);
}

// What graphics on white need against it (WCAG's non-text contrast).
export const kGraphicsContrast = 3;

function hsl(rgb) {
  const max = Math.max(...rgb);
  const min = Math.min(...rgb);
  const l = (max + min) / 2;
  if (max === min) return [0, 0, l];
  const d = max - min;
  const s = l > 0.5 ? d / (2 - max - min) : d / (max + min);
  const h = max === rgb[0] ? (rgb[1] - rgb[2]) / d + (rgb[1] < rgb[2] ? 6 : 0) : max === rgb[1] ? (rgb[2] - rgb[0]) / d + 2 : (rgb[0] - rgb[1]) / d + 4;
  return [h / 6, s, l];
}

function rgbOf([h, s, l]) {
  const q = l < 0.5 ? l * (1 + s) : l + s - l * s;
  const p = 2 * l - q;
  const channel = (t) => {
    const u = t < 0 ? t + 1 : t > 1 ? t - 1 : t;
    if (u < 1 / 6) return p + (q - p) * 6 * u;
    if (u < 1 / 2) return q;
    if (u < 2 / 3) return p + (q - p) * (2 / 3 - u) * 6;
    return p;
  };
  return s === 0 ? [l, l, l] : [channel(h + 1 / 3), channel(h), channel(h - 1 / 3)];
}

// A scheme's colour (0..1 components, pbsim's trajectory colour on black) as
// the page draws it on white: the same hue and saturation, its lightness
// lowered just until the colour reaches kGraphicsContrast against white
// (0..255 components). A colour dark enough already stays as it is.
export function onWhite(rgb) {
  const round = (c) => c.map((v) => Math.round(Math.min(1, Math.max(0, v)) * 255));
  let c = round(rgb);
  if (contrastOnWhite(c) >= kGraphicsContrast) return c;
  const [h, s, l] = hsl(rgb);
  for (let lightness = l; lightness > 0; lightness -= 0.002) {
    c = round(rgbOf([h, s, lightness]));
    if (contrastOnWhite(c) >= kGraphicsContrast) return c;
  }
  return [0, 0, 0];
}

// The CSS colour of onWhite(rgb).
export function plotColour(rgb) {
  const c = onWhite(rgb);
  return `rgb(${c[0]},${c[1]},${c[2]})`;
}

