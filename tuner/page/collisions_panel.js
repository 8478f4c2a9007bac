// What the drive's collisions and roofs were: each collision's force against "Impact intensity"
// and each roof's gap against the window the plug-in counts (more than 1.2, less than 25), with how
// many count at the current settings and why each other one does not. From the run's answer
// (core.run: collisions and roofs, each {frame, time, force or gap, verdict}).

// Counts by verdict, "counted" first: "3 counted, 2 below the threshold".
function summary(events, what) {
  if (events.length === 0) return `no ${what}`;
  const counts = new Map([['counted', 0]]);
  for (const event of events) counts.set(event.verdict, (counts.get(event.verdict) ?? 0) + 1);
  return (
    `${events.length} ${what}: ` +
    [...counts].map(([verdict, count]) => `${count} ${verdict}`).join(', ')
  );
}

function list(events, valueKey, unit) {
  const items = document.createElement('ol');
  for (const event of events) {
    const item = document.createElement('li');
    item.textContent = `${event.time.toFixed(3)} s, frame ${event.frame}: ${event[valueKey]}${unit} — ${event.verdict}`;
    if (event.verdict !== 'counted') item.className = 'ignored';
    items.append(item);
  }
  return items;
}

// Shows run's collisions and roofs in container, replacing what it held.
export function showCollisions(container, run) {
  const collisions = run?.collisions ?? [];
  const roofs = run?.roofs ?? [];
  const parts = [];
  for (const [events, what, key, unit] of [
    [collisions, 'collisions', 'force', ''],
    [roofs, 'roofs', 'gap', ' up'],
  ]) {
    const heading = document.createElement('p');
    heading.textContent = summary(events, what);
    parts.push(heading, list(events, key, unit));
  }
  container.replaceChildren(...parts);
}
