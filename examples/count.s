; count.s: counts from 1 to 10 in r1 and keeps the count in RAM cell 0x00.
;
; isa4 has no unconditional jump: "ADDI r0, r0, 0" sets z (r0 stays 0 in this
; program), and a JZ right after it always jumps.

        .equ count, 0x00        ; RAM cell that shows the count
        .equ last, 10

loop:   ADDI r1, r1, 1          ; r1 = r1 + 1
        MOVE [count], r1        ; show it in RAM
        ADDI r2, r1, -last      ; r2 = r1 - 10: zero (z set) once r1 reaches 10
        JZ   done
        ADDI r0, r0, 0          ; set z ...
        JZ   loop               ; ... and go round again
done:   JZ   @done              ; z is set: a JZ onto itself halts the run
        JZ   done               ; a run steps on past the halt: back to it
