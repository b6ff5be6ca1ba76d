"""The picture of a Result: the ladder of every method's bounds, and the
bounds of every pass. matplotlib is imported by draw() alone."""

_UPPER, _LOWER = "#c0392b", "#2c6fbb"


def rungs(result):
    """The rows of the ladder, top to bottom: (label, lower, upper, lower
    proven, upper proven) for every method and every classical bound by name
    (a classical bound on both sides is one row); values may be None."""
    rows = []
    for name, method in result.methods.items():
        if name == "classical":
            named = {}
            for side, parts in (("upper", method.upper_parts), ("lower", method.lower_parts)):
                for part in parts:
                    named.setdefault(part.name, {})[side] = part.value
            for part, sides in named.items():
                rows.append((part, sides.get("lower"), sides.get("upper"), False, False))
        else:
            rows.append((name, method.lower.value, method.upper.value, method.lower.proven,
                         method.upper.proven))
    return [row for row in rows if row[1] is not None or row[2] is not None]


def _band(result):
    """The interval the ladder is drawn against, and its name."""
    sharpest = result.methods.get("sharpest")
    if sharpest is not None and sharpest.lower.value is not None \
            and sharpest.upper.value is not None:
        return sharpest.lower.value, sharpest.upper.value, "sharpest interval"
    if result.lower is not None and result.upper is not None:
        return result.lower, result.upper, "best interval"
    return None


def _markers(axes, points, marker, colour, label):
    """Proven values filled, the others hollow."""
    for proven in (True, False):
        chosen = [(x, y) for x, y, p in points if p == proven]
        if chosen:
            axes.plot([x for x, _ in chosen], [y for _, y in chosen], linestyle="none",
                      marker=marker, markersize=8, color=colour,
                      markerfacecolor=colour if proven else "white",
                      label=label + (", proven" if proven else ""))


def _ladder(axes, result, band):
    rows = rungs(result)
    ys = list(range(len(rows)))[::-1]
    for y, (_, lower, upper, _, _) in zip(ys, rows):
        if lower is not None and upper is not None:
            axes.plot([lower, upper], [y, y], color="0.6", linewidth=1.5, zorder=1)
    _markers(axes, [(r[2], y, r[4]) for y, r in zip(ys, rows) if r[2] is not None], "<",
             _UPPER, "upper")
    _markers(axes, [(r[1], y, r[3]) for y, r in zip(ys, rows) if r[1] is not None], ">",
             _LOWER, "lower")
    if band is not None:
        axes.axvspan(band[0], band[1], color="0.85", zorder=0, label=band[2])
    axes.set_yticks(ys, [r[0] for r in rows])
    axes.set_ylim(-0.7, len(rows) - 0.3)
    axes.set_xlabel("bound on P(union)")
    axes.set_title("every method")
    axes.grid(axis="x", color="0.92")


def _passes(axes, result, band):
    rows = result.passes
    ls = [row.l for row in rows]
    for attribute, colour, marker, label in (("aggregation", _UPPER, "o", "aggregation"),
                                             ("exact_upper", _UPPER, "v", "exact upper"),
                                             ("exact_lower", _LOWER, "^", "exact lower")):
        points = [(row.l, getattr(row, attribute)) for row in rows
                  if getattr(row, attribute) is not None]
        if points:
            axes.plot([l for l, _ in points], [v for _, v in points], marker=marker,
                      color=colour, linestyle="-" if attribute == "aggregation" else "--",
                      label=label)
    if band is not None:
        axes.axhspan(band[0], band[1], color="0.85", zorder=0, label=band[2])
    axes.set_xticks(ls)
    axes.set_xlabel("subsequence length l")
    axes.set_title("per pass")
    axes.grid(axis="y", color="0.92")


def draw(result, title=None):
    from matplotlib.figure import Figure

    band = _band(result)
    with_passes = bool(result.passes)
    figure = Figure(figsize=(10, 4.2) if with_passes else (6, 4.2), layout="constrained")
    ladder = figure.add_subplot(1, 2 if with_passes else 1, 1)
    _ladder(ladder, result, band)
    observed = result.observations
    axes = [ladder]
    if with_passes:
        passes = figure.add_subplot(1, 2, 2, sharey=None)
        _passes(passes, result, band)
        axes.append(passes)
    if observed is not None:
        ladder.axvline(observed.union, color="black", linestyle=":", label="observed union")
        if with_passes:
            axes[1].axhline(observed.union, color="black", linestyle=":", label="observed union")
    for each in axes:
        each.legend(loc="best", fontsize="small")
    figure.suptitle(title if title is not None else
                    f"P(union) of n={result.n} events from intersections of up to m={result.m}")
    return figure
