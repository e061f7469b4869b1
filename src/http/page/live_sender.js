// Sends changes of one thing (a control's value, a camera's movement) so
// that at most one is on its way at a time: a change made meanwhile waits,
// and only the latest of those goes next. So a slider dragged fast sends as
// often as the camera answers, and its last position is always sent. A
// change that adds to the one waiting (a step of a zoom button) is merged
// into it instead, so that quick steps add up.

export class LatestSender {
  // `send(change)` returns a promise of the answer; `answered(answer,
  // change, settled)` gets each answer, `settled` true when nothing waits.
  constructor(send, answered) {
    this.send = send;
    this.answered = answered;
    this.waiting = undefined;
    this.hasWaiting = false;
    this.inFlight = false;
  }

  // Whether a change is on its way or waiting.
  get busy() {
    return this.inFlight || this.hasWaiting;
  }

  // `merge(waiting, change)`, when given, makes the change to send of the
  // one waiting and this one.
  push(change, merge = undefined) {
    this.waiting = this.hasWaiting && merge ? merge(this.waiting, change) : change;
    this.hasWaiting = true;
    if (!this.inFlight) this.next();
  }

  async next() {
    while (this.hasWaiting) {
      const change = this.waiting;
      this.waiting = undefined;
      this.hasWaiting = false;
      this.inFlight = true;
      let answer;
      try {
        answer = await this.send(change);
      } finally {
        this.inFlight = false;
      }
      this.answered(answer, change, !this.hasWaiting);
    }
  }
}
