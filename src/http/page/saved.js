// Keeps a page in step with what other pages and scripts store: each
// "saved" event of the stream carries how often profiles, holds and presets
// changed since camknobd started, and what moved since the last one seen is
// listed again. The first one seen lists everything, since what changed
// before it is not known.

// Which list each count refreshes.
const listsOfCounts = { profiles: "profiles", holds: "profiles", presets: "presets" };

// `refresh`: {profiles(), presets()}; the result takes each event's counts.
export function savedFollower(refresh) {
  let seen;
  return (counts) => {
    const due = new Set();
    for (const [count, list] of Object.entries(listsOfCounts))
      if (seen === undefined || seen[count] !== counts[count]) due.add(list);
    seen = counts;
    for (const list of due) refresh[list]();
  };
}
