"""The same workbook written twice, through xlwt and through the core's writer (awb_desk._xls),
operation for operation: an xlwt style becomes the writer's style of the same objects (an xlwt
object seen again is the writer's same object), so both tell styles apart alike."""

import io

import xlwt

from awb_desk import _xls

FONT = ["height", "italic", "struck_out", "outline", "shadow", "colour_index", "bold"]
FONT += ["escapement", "underline", "family", "charset"]
PARTS = {
    "alignment": ["horz", "vert", "dire", "orie", "rota", "wrap", "shri", "inde", "merg"],
    "borders": ["left", "right", "top", "bottom", "diag", "left_colour", "right_colour", "top_colour"]
    + ["bottom_colour", "diag_colour", "need_diag1", "need_diag2"],
    "pattern": ["pattern", "pattern_fore_colour", "pattern_back_colour"],
    "protection": ["cell_locked", "formula_hidden"],
}


class Twin:
    def __init__(self, merge=0):
        self.xlwt = xlwt.Workbook(style_compression=merge)
        self.model = _xls.Workbook(merge)
        self.objects = {}  # id of an xlwt object: (the object, kept alive; the writer's object)
        self.sheets = []

    def _object(self, obj, kind):
        if id(obj) not in self.objects:
            if kind == "font":
                made = self.model.font(name=obj.name, weight=obj._weight, **{a: int(getattr(obj, a)) for a in FONT})
            else:
                made = getattr(self.model, kind)(**{a: int(getattr(obj, a)) for a in PARTS[kind]})
            self.objects[id(obj)] = (obj, made)
        return self.objects[id(obj)][1]

    def xf(self, style):
        parts = {kind: self._object(getattr(style, kind), kind) for kind in ["font", *PARTS]}
        return self.model.style(style.num_format_str, **parts)

    def add_sheet(self, name):
        self.sheets.append((self.xlwt.add_sheet(name, cell_overwrite_ok=True), self.model.add_sheet(name, True)))

    def write(self, k, row, col, value, style=xlwt.Style.default_style):
        old, new = self.sheets[k]
        old.write(row, col, value, style)
        new.write(row, col, value, self.xf(style))

    def write_merge(self, k, r1, r2, c1, c2, value, style):
        old, new = self.sheets[k]
        old.write_merge(r1, r2, c1, c2, value, style)
        new.write_merge(r1, r2, c1, c2, value, self.xf(style))

    def col(self, k, col, width=None, style=None):
        old, new = self.sheets[k]
        if width is not None:
            old.col(col).width = width
            new.col(col, width=width)
        if style is not None:
            old.col(col).set_style(style)
            new.col(col, xf=self.xf(style))

    def row(self, k, row, height=None, style=None):
        old, new = self.sheets[k]
        if height is not None:
            old.row(row).height = height
            new.row(row, height=height)
        if style is not None:
            old.row(row).set_style(style)
            new.row(row, xf=self.xf(style))

    def show(self, k, active=False, visibility=None):
        if active:
            self.xlwt.active_sheet = self.model.active_sheet = k
        if visibility is not None:
            self.sheets[k][0].visibility = visibility
            self.sheets[k][1].view(visibility=visibility)

    def saves(self):
        """The file each writes now."""
        out = io.BytesIO()
        self.xlwt.save(out)
        return out.getvalue(), self.model.save()
