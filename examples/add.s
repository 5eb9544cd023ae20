; add.s: adds the numbers in RAM cells 0x00 and 0x01 and stores the sum in 0x02.
; The sum wraps at 256, as all isa4 arithmetic does.

        .equ a, 0x00
        .equ b, 0x01
        .equ sum, 0x02

        MOVE r1, [a]            ; r1 = RAM[a]
        MOVE r2, [b]            ; r2 = RAM[b]
        ADD  r3, r1, r2         ; r3 = r1 + r2
        MOVE [sum], r3          ; RAM[sum] = r3
        ADDI r0, r0, 0          ; set z (r0 is 0)
halt:   JZ   @halt              ; and halt
        JZ   halt               ; a run steps on past the halt: back to it
